#pragma once

// The INI file a first start writes, as players will see it: spelled out here,
// from the plug-in's description, not taken from the plug-in.

#include <string>

inline const std::string kTemplate =
    "# Developed by Ketterly/Marrowby based on Orrisbane's Brindlekit\r\n"
    "\r\n"
    "[General]\r\n"
    "# Fixes missing execution blood decals when executions are non-interactive. Thanks "
    "to Orrisbane.\r\n"
    "FixExecutionBloodDecals=1\r\n"
    "# Patches blood decals to render more like the Wii version and enables RGB/alpha "
    "overrides.\r\n"
    "PatchBloodDecalColorAndAlpha=0\r\n"
    "# Fixes stale blood decal maps appearing on newly spawned hunters.\r\n"
    "FixStaleDamageMapDecals=1\r\n"
    "\r\n"
    "[BloodDecal]\r\n"
    "Red=224\r\n"
    "Green=224\r\n"
    "Blue=224\r\n"
    "Alpha=255\r\n"
    "\r\n"
    "[Logging]\r\n"
    "EnableLogging=0\r\n"
    "LogDamageMapDiagnostics=0\r\n"
    "LogExecutionDecals=0\r\n";
