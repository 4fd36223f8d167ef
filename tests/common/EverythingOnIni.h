#pragma once

// An INI with every fix and logging on, with the diagnostics but without the
// decal lines: every window that start-up may write is written.

inline const char kEverythingIni[] = "[General]\r\n"
                                     "FixExecutionBloodDecals=1\r\n"
                                     "PatchBloodDecalColorAndAlpha=1\r\n"
                                     "FixStaleDamageMapDecals=1\r\n"
                                     "[Logging]\r\n"
                                     "EnableLogging=1\r\n"
                                     "LogDamageMapDiagnostics=1\r\n";
