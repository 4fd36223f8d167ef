#include "core/Plugin.h"

#include "config/IniFile.h"
#include "core/CallSite.h"
#include "core/HostInterface.h"
#include "core/SettingsSnapshot.h"
#include "damagemap/DamageMapDiagnostics.h"
#include "damagemap/DecalColorAlpha.h"
#include "damagemap/StaleMapClear.h"
#include "execution/ExecutionBloodDecals.h"
#include "log/Log.h"

#include <exception>

namespace {

struct PatchWindow {
    Host::Address Address;
    uint32_t Size;
};

// The windows that start-up may write besides the two calls, in host order.
constexpr PatchWindow kOtherWindows[] = {
    {Host::StaleMapClearSetup, 5},
    {Host::StaleMapClearSetupFill, Host::StaleMapClearSetupFillSize},
    {Host::DecalSourceBlend, 1},
    {Host::DecalColorRed, 1},
    {Host::DecalColorGreen, 1},
    {Host::DecalColorBlue, 1},
    {Host::DecalColorAlpha, 1},
    {Host::DecalDrawingEnd, 5},
    {Host::DecalDrawingEndFill, Host::DecalDrawingEndFillSize},
};

// Another build of the game, or another program, holds other code at these
// addresses: writing there would crash it. The two calls that the hooks take
// over identify the build; every other window must lie in its image too.
bool HostRecognised(const CallSite& execution, const CallSite& diagnostics) {
    for (const CallSite* site : {&execution, &diagnostics}) {
        if (site->Kind == CallSiteKind::Unknown) {
            LogUnrecognisedCallSite(*site);
            return false;
        }
    }
    for (const PatchWindow& window : kOtherWindows) {
        if (!InHostImage(window.Address, window.Size)) {
            LogMessage("Host not recognised: 0x%08X is not in the game's executable image at 0x%08X; nothing "
                       "patched",
                       static_cast<unsigned>(window.Address), static_cast<unsigned>(Host::ImageBase));
            return false;
        }
    }
    return true;
}

void LogSettings(const PluginSettings& settings) {
    LogMessage(
        "Settings: FixExecutionBloodDecals=%u PatchBloodDecalColorAndAlpha=%u FixStaleDamageMapDecals=%u "
        "EnableLogging=%u LogDamageMapDiagnostics=%u LogExecutionDecals=%u RGB/A=%u,%u,%u,%u",
        settings.FixExecutionBloodDecals ? 1u : 0u, settings.PatchBloodDecalColorAndAlpha ? 1u : 0u,
        settings.FixStaleDamageMapDecals ? 1u : 0u, settings.EnableLogging ? 1u : 0u,
        settings.LogDamageMapDiagnostics ? 1u : 0u, settings.LogExecutionDecals ? 1u : 0u,
        unsigned{settings.Red}, unsigned{settings.Green}, unsigned{settings.Blue}, unsigned{settings.Alpha});
}

void InstallFeatures(const PluginSettings& settings, const CallSite& execution, const CallSite& diagnostics) {
    if (settings.PatchBloodDecalColorAndAlpha) {
        ApplyDecalColorAlphaPatch(settings);
    } else {
        LogMessage("Blood decal color/alpha patch disabled");
    }
    if (settings.FixExecutionBloodDecals) {
        InstallExecutionBloodDecalHook(execution);
    } else {
        LogMessage("Execution blood decal hook disabled");
    }
    if (settings.LogDamageMapDiagnostics) {
        InstallDamageManagerDiagnosticsHook(diagnostics);
    }
    if (settings.FixStaleDamageMapDecals) {
        InstallStaleMapClearHook();
    }
}

} // namespace

// Nothing may escape into the ASI loader or the game: an error ends start-up
// with a log line, and whatever was installed by then stays.
extern "C" void InitializeASI() {
    try {
        const PluginSettings& settings = GetSettings();
        StartLog(settings.EnableLogging);
        LogMessage("InitializeASI");
        LogSettings(settings);
        if (IniFileNote()[0] != '\0') {
            LogMessage("%s", IniFileNote());
        }
        const CallSite execution = InspectExecutionCallSite();
        const CallSite diagnostics = InspectDiagnosticsCallSite();
        if (HostRecognised(execution, diagnostics)) {
            InstallFeatures(settings, execution, diagnostics);
        }
    } catch (const std::exception& error) {
        LogMessage("InitializeASI stopped by an error: %s", error.what());
    } catch (...) {
        LogMessage("InitializeASI stopped by an unknown error");
    }
}
