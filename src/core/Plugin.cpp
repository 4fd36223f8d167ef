#include "core/Plugin.h"

#include "damagemap/DamageMapDiagnostics.h"
#include "damagemap/DecalColorAlpha.h"
#include "damagemap/StaleMapClear.h"
#include "execution/ExecutionBloodDecals.h"
#include "log/Log.h"

const PluginSettings& GetSettings() {
    static const PluginSettings settings = LoadSettings();
    return settings;
}

extern "C" void InitializeASI() {
    const PluginSettings& settings = GetSettings();
    StartLog(settings.EnableLogging);
    LogMessage("InitializeASI");
    LogMessage(
        "Settings: FixExecutionBloodDecals=%u PatchBloodDecalColorAndAlpha=%u FixStaleDamageMapDecals=%u "
        "EnableLogging=%u LogDamageMapDiagnostics=%u LogExecutionDecals=%u RGB/A=%u,%u,%u,%u",
        settings.FixExecutionBloodDecals ? 1u : 0u, settings.PatchBloodDecalColorAndAlpha ? 1u : 0u,
        settings.FixStaleDamageMapDecals ? 1u : 0u, settings.EnableLogging ? 1u : 0u,
        settings.LogDamageMapDiagnostics ? 1u : 0u, settings.LogExecutionDecals ? 1u : 0u,
        unsigned{settings.Red}, unsigned{settings.Green}, unsigned{settings.Blue}, unsigned{settings.Alpha});

    if (settings.PatchBloodDecalColorAndAlpha) {
        ApplyDecalColorAlphaPatch(settings);
    } else {
        LogMessage("Blood decal color/alpha patch disabled");
    }
    if (settings.FixExecutionBloodDecals) {
        InstallExecutionBloodDecalHook();
    } else {
        LogMessage("Execution blood decal hook disabled");
    }
    if (settings.LogDamageMapDiagnostics) {
        InstallDamageManagerDiagnosticsHook();
    }
    if (settings.FixStaleDamageMapDecals) {
        InstallStaleMapClearHook();
    }
}
