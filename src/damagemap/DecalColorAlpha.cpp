// The host draws blood decals into the damage maps with a fixed colour and a
// source-alpha blend that looks nothing like its Wii edition. This patch writes
// the user's colour and alpha into the drawing's immediates and blends the
// source with "one"; BlendRestoreHook then puts the host's usual blend factors
// back as the drawing ends, so nothing drawn afterwards inherits the change.
#include "damagemap/DecalColorAlpha.h"

#include "core/CallSite.h"
#include "core/HostInterface.h"
#include "core/Patch.h"
#include "log/Log.h"

namespace {

constexpr uint8_t kBlendOne = 2; // Direct3D 9 blend factor

void WriteByte(Host::Address address, uint8_t value) {
    WriteProtectedBytes(address, &value, 1);
}

} // namespace

void ApplyDecalColorAlphaPatch(const PluginSettings& settings) {
    // Another plug-in's branch at the drawing's end keeps the whole patch off:
    // the source blend "one" must never stay in force without its restore.
    if (!MayWriteJumpWindow(Host::DecalDrawingEnd, reinterpret_cast<const void*>(&BlendRestoreHook),
                            HostWindowCode::NeverBranches, "Blood decal color/alpha patch")) {
        return;
    }
    LogMessage(
        "Applying blood decal color/alpha patch with contained Wii-style source blend: red=%u green=%u "
        "blue=%u alpha=%u",
        unsigned{settings.Red}, unsigned{settings.Green}, unsigned{settings.Blue}, unsigned{settings.Alpha});
    WriteByte(Host::DecalColorRed, settings.Red);
    WriteByte(Host::DecalColorGreen, settings.Green);
    WriteByte(Host::DecalColorBlue, settings.Blue);
    WriteByte(Host::DecalColorAlpha, settings.Alpha);
    WriteByte(Host::DecalSourceBlend, kBlendOne);

    LogMessage("Installing CharacterDamageMap blend restore hook at 0x%08X",
               static_cast<unsigned>(Host::DecalDrawingEnd));
    WriteJump(Host::DecalDrawingEnd, reinterpret_cast<const void*>(&BlendRestoreHook));
    WriteNops(Host::DecalDrawingEndFill, Host::DecalDrawingEndFillSize);
}
