// When the host clears a damage map for reuse it blends the clear with the old
// contents, so a newly spawned character can show the blood of the map's
// previous owner. StaleMapClearBlendHook makes the clear replace the contents.
#include "damagemap/StaleMapClear.h"

#include "core/CallSite.h"
#include "core/HostInterface.h"
#include "core/Patch.h"
#include "log/Log.h"

void InstallStaleMapClearHook() {
    if (!MayWriteJumpWindow(Host::StaleMapClearSetup, reinterpret_cast<const void*>(&StaleMapClearBlendHook),
                            HostWindowCode::MayBranchInImage, "Stale damage-map clear blend hook")) {
        return;
    }
    LogMessage("Installing stale damage-map clear blend hook: setup=0x%08X",
               static_cast<unsigned>(Host::StaleMapClearSetup));
    WriteJump(Host::StaleMapClearSetup, reinterpret_cast<const void*>(&StaleMapClearBlendHook));
    WriteNops(Host::StaleMapClearSetupFill, Host::StaleMapClearSetupFillSize);
}
