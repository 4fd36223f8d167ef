#pragma once

#include <cstdint>

// The ten settings, in the order in which they are read from the INI file.
struct PluginSettings {
    bool FixExecutionBloodDecals;
    bool PatchBloodDecalColorAndAlpha;
    bool FixStaleDamageMapDecals;
    bool EnableLogging;
    bool LogDamageMapDiagnostics;
    bool LogExecutionDecals;
    uint8_t Red;
    uint8_t Green;
    uint8_t Blue;
    uint8_t Alpha;
};
