// Non-interactive executions never get their blood decals from the host: its own
// UpdateWiiExecution only spawns them in interactive mode. This hook spawns them
// from the host's execution decal tables as the animation reaches each one.
#include "execution/ExecutionBloodDecals.h"

#include "core/CallSite.h"
#include "core/HostInterface.h"
#include "core/Patch.h"
#include "core/SettingsSnapshot.h"
#include "log/Log.h"

#include <cstdint>

namespace {

bool InteractiveModeLogged = false;

// Interactive executions go on to the host's UpdateWiiExecution, or to the hook
// that another plug-in had put on the call before ours.
CallHandOn UpdateWiiExecutionHandOn = {Host::UpdateWiiExecutionAddress, false};

enum class DecalList { Victim, Splatter };

struct DecalWalk {
    uint8_t* player;
    uint8_t* tables;
    void* manager;
    const uint8_t* animation;
    int32_t id;
    int32_t stage;
};

void LogDecal(DecalList list, const DecalWalk& walk, uint32_t index, uint32_t count, const uint8_t* entry,
              float animationTime) {
    const float time = Host::Field<float>(entry, Host::DecalEntryTime);
    const float x = Host::Field<float>(entry, Host::DecalEntryX);
    const float y = Host::Field<float>(entry, Host::DecalEntryY);
    // The texture field is 20 bytes; a name that fills it has no NUL of its own.
    const char* texture = reinterpret_cast<const char*>(entry + Host::DecalEntryTexture);
    const int textureLimit = static_cast<int>(Host::DecalEntryTextureSize);
    const void* player = walk.player;
    if (list == DecalList::Victim) {
        LogMessage("Execution victim decal: player=%p victim=%p execId=%d stage=%d index=%u/%u time=%.3f "
                   "animTime=%.3f pos=(%.3f, %.3f) texture=%.*s",
                   player, Host::Field<void*>(walk.player, Host::PlayerExecutionVictim), walk.id, walk.stage,
                   index, count, time, animationTime, x, y, textureLimit, texture);
    } else {
        LogMessage(
            "Execution splatter decal: player=%p execId=%d stage=%d index=%u/%u time=%.3f animTime=%.3f "
            "pos=(%.3f, %.3f) texture=%.*s",
            player, walk.id, walk.stage, index, count, time, animationTime, x, y, textureLimit, texture);
    }
}

// Spawns every entry of one list that has come due, from the player's counter on.
inline __attribute__((always_inline)) void SpawnDueDecals(DecalList list, const DecalWalk& walk) {
    const bool victims = list == DecalList::Victim;
    const uint32_t entriesOffset = victims ? Host::VictimDecals : Host::SplatterDecals;
    const uint32_t countsOffset = victims ? Host::VictimDecalCounts : Host::SplatterDecalCounts;
    const uint32_t indexOffset = victims ? Host::PlayerVictimDecalIndex : Host::PlayerSplatterDecalIndex;

    const uint32_t row = static_cast<uint32_t>(walk.id * Host::ExecutionStageCount + walk.stage);
    uint32_t count = Host::Field<uint32_t>(walk.tables, countsOffset + row * sizeof(uint32_t));
    // A stage has 25 slots; a larger count would walk into the next stage's entries.
    const uint32_t walkable = count < Host::ExecutionDecalSlots ? count : Host::ExecutionDecalSlots;
    for (uint32_t k = Host::Field<uint32_t>(walk.player, indexOffset); k < walkable; ++k) {
        const uint8_t* entry =
            walk.tables + entriesOffset + (row * Host::ExecutionDecalSlots + k) * Host::DecalEntrySize;
        const float time = Host::Field<float>(entry, Host::DecalEntryTime);
        const float animationTime = Host::Field<float>(walk.animation, Host::AnimationTime);
        // Not "<=": a NaN on either side counts as due rather than blocking the list forever.
        if (time > animationTime) {
            break;
        }
        // The line is only prepared when it would be written: this runs in the game's frame.
        if (LogEnabled && LogLockReady && GetSettings().LogExecutionDecals) {
            LogDecal(list, walk, k, count, entry, animationTime);
        }
        void* character =
            victims ? Host::Field<void*>(walk.player, Host::PlayerExecutionVictim) : walk.player;
        Host::HostAddCharacterDecal(walk.manager, character, Host::Field<float>(entry, Host::DecalEntryX),
                                    Host::Field<float>(entry, Host::DecalEntryY),
                                    reinterpret_cast<const char*>(entry + Host::DecalEntryTexture), 0);
        Host::Field<uint32_t>(walk.player, indexOffset) += 1;
    }
}

int32_t ExecutionId(uint8_t* player) {
    uint8_t* victim = Host::Field<uint8_t*>(player, Host::PlayerExecutionVictim);
    uint8_t* execution = Host::Field<uint8_t*>(victim, Host::VictimExecutionObject);
    if (execution != nullptr) {
        const uint32_t index =
            static_cast<uint32_t>(Host::Field<int32_t>(execution, Host::ExecutionObjectIndex));
        return static_cast<int32_t>(index + static_cast<uint32_t>(Host::ExecutionIndexToId));
    }
    return Host::HostGetExecutionId(Host::HostGetExecutionSource(player));
}

} // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
void __thiscall ExecutionBloodDecalHook(void* playerObject) {
    uint8_t* player = static_cast<uint8_t*>(playerObject);
    void* modeObject = Host::Global<void*>(Host::HostExecutionModeObject);
    if (Host::Field<int32_t>(modeObject, Host::InteractiveExecutionMode) != 0) {
        if (!InteractiveModeLogged) {
            LogMessage("UpdateWiiExecution: interactive execution mode is on, using original game function");
            InteractiveModeLogged = true;
        }
        reinterpret_cast<Host::UpdateWiiExecutionFunction>(UpdateWiiExecutionHandOn.Target)(player);
        return;
    }

    DecalWalk walk{};
    walk.player = player;
    walk.tables = Host::HostGetExecutionDecalTables(player);
    walk.manager = Host::HostGetDecalManager();

    // Negative ids and stages lie outside the tables just as too large ones do.
    walk.id = ExecutionId(player);
    if (walk.id >= Host::ExecutionIdCount || walk.id < 0) {
        return;
    }
    walk.stage = Host::HostGetExecutionStage(player);
    if (Host::Field<uint8_t>(player, Host::PlayerStageOverrideActive) != 0) {
        walk.stage = Host::Field<int32_t>(player, Host::PlayerStageOverride);
    }
    if (Host::Field<int32_t>(player, Host::PlayerExecutionVariant) ==
        Host::ExecutionVariantForcingLastStage) {
        walk.stage = Host::ExecutionStageCount - 1;
    } else if (walk.stage >= Host::ExecutionStageCount || walk.stage < 0) {
        return;
    }

    walk.animation =
        Host::HostGetCurrentAnimation(Host::Field<void*>(player, Host::PlayerAnimationController));
    if (walk.animation == nullptr) {
        return;
    }

    SpawnDueDecals(DecalList::Victim, walk);
    SpawnDueDecals(DecalList::Splatter, walk);
}
#pragma GCC diagnostic pop

CallSite InspectExecutionCallSite() {
    return InspectCallSite(Host::ExecutionUpdateCallSite, Host::UpdateWiiExecutionAddress,
                           reinterpret_cast<const void*>(&ExecutionBloodDecalHook));
}

void InstallExecutionBloodDecalHook(const CallSite& site) {
    const char* const name = "Execution blood decal hook";
    if (!MayHookCall(site, UpdateWiiExecutionHandOn, name)) {
        return;
    }
    LogMessage("Installing execution blood decal hook at 0x%08X", static_cast<unsigned>(site.Address));
    HookCall(site, reinterpret_cast<const void*>(&ExecutionBloodDecalHook), UpdateWiiExecutionHandOn, name);
}
