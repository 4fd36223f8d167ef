// Lets a user follow what the host does with its damage maps: the state of the
// manager and of each map is logged around UpdateRenderMaps, but only when it
// changed since the last block, however often the host calls it.
#include "damagemap/DamageMapDiagnostics.h"

#include "core/CallSite.h"
#include "core/HostInterface.h"
#include "core/Patch.h"
#include "log/Log.h"

#include <cstring>

namespace {

constexpr unsigned kSearchedSlots = 8;
constexpr uint8_t kNoSlot = 0xFF;

DamageMapSnapshot Snapshot = {false, 0xFFFF, 0xFFFF, 0xFFFFFFFF, {}};

// The host's UpdateRenderMaps, or the hook that another plug-in had put on the
// call before ours.
CallHandOn UpdateRenderMapsHandOn = {Host::UpdateRenderMapsAddress, false};

void UpdateRenderMaps(void* manager) {
    reinterpret_cast<Host::UpdateRenderMapsFunction>(UpdateRenderMapsHandOn.Target)(manager);
}

uint32_t Word(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// The smallest of the first searchedSlots active slots that holds each map, or
// kNoSlot. Walking the few slots once is far cheaper than searching them for
// every map, and gives the same smallest slot.
void FindActiveSlots(const uint8_t* manager, unsigned searchedSlots, unsigned maps,
                     uint8_t (&slots)[kSnapshotMaps]) {
    std::memset(slots, kNoSlot, sizeof slots);
    const uint32_t firstMap = Word(manager + Host::ManagerMaps);
    for (unsigned slot = searchedSlots; slot-- > 0;) {
        const uint32_t offset =
            Host::Field<uint32_t>(manager, Host::ManagerActiveSlots + slot * sizeof(uint32_t)) - firstMap;
        if (offset % Host::DamageMapStride == 0 && offset / Host::DamageMapStride < maps) {
            slots[offset / Host::DamageMapStride] = static_cast<uint8_t>(slot);
        }
    }
}

MapSnapshotEntry ReadMap(const uint8_t* manager, unsigned index, uint8_t activeSlot) {
    const uint8_t* map = manager + Host::ManagerMaps + index * Host::DamageMapStride;
    MapSnapshotEntry entry;
    entry.owner = Host::Field<uint32_t>(map, Host::DamageMapOwner);
    entry.tex = Host::Field<uint32_t>(map, Host::DamageMapTex);
    entry.tex2 = Host::Field<uint32_t>(map, Host::DamageMapTex2);
    entry.decals = Host::Field<uint8_t>(map, Host::DamageMapDecals);
    entry.rendered = Host::Field<uint8_t>(map, Host::DamageMapRendered);
    entry.flags = Host::Field<uint8_t>(map, Host::DamageMapFlags);
    entry.activeSlot = activeSlot;
    return entry;
}

// Compares in place: building an entry first and comparing it afterwards
// costs several times as much through the stack.
bool SameAsLogged(const uint8_t* manager, unsigned index, uint8_t activeSlot,
                  const MapSnapshotEntry& logged) {
    const uint8_t* map = manager + Host::ManagerMaps + index * Host::DamageMapStride;
    return Host::Field<uint32_t>(map, Host::DamageMapOwner) == logged.owner &&
           Host::Field<uint32_t>(map, Host::DamageMapTex) == logged.tex &&
           Host::Field<uint32_t>(map, Host::DamageMapTex2) == logged.tex2 &&
           Host::Field<uint8_t>(map, Host::DamageMapDecals) == logged.decals &&
           Host::Field<uint8_t>(map, Host::DamageMapRendered) == logged.rendered &&
           Host::Field<uint8_t>(map, Host::DamageMapFlags) == logged.flags && activeSlot == logged.activeSlot;
}

void LogMap(unsigned index, const MapSnapshotEntry& entry) {
    char slot[4] = "--";
    if (entry.activeSlot != kNoSlot) {
        slot[0] = static_cast<char>('0' + entry.activeSlot);
        slot[1] = '\0';
    }
    LogMessage("  map[%02u] activeSlot=%s owner=%p tex=%p tex2=%p decals=%u rendered=%u flags=0x%02X%s%s%s",
               index, slot, reinterpret_cast<void*>(entry.owner), reinterpret_cast<void*>(entry.tex),
               reinterpret_cast<void*>(entry.tex2), unsigned{entry.decals}, unsigned{entry.rendered},
               unsigned{entry.flags}, (entry.flags & Host::DamageMapNeedsClear) ? " needsClear" : "",
               (entry.flags & Host::DamageMapResetAfterRender) ? " resetAfterRender" : "",
               (entry.flags & Host::DamageMapInactive) ? " inactive" : "");
}

} // namespace

void LogDamageMapState(const void* managerObject, const char* label) {
    if (!LogEnabled || !LogLockReady || managerObject == nullptr) {
        return;
    }
    const uint8_t* manager = static_cast<const uint8_t*>(managerObject);
    const uint16_t mapCount = Host::Field<uint16_t>(manager, Host::ManagerMapCount);
    const uint16_t renderedCount = Host::Field<uint16_t>(manager, Host::ManagerRenderedCount);
    const uint32_t cleanupTimer = Host::Field<uint32_t>(manager, Host::ManagerCleanupTimer);
    const unsigned maps = mapCount < kSnapshotMaps ? mapCount : kSnapshotMaps;
    const unsigned searchedSlots = renderedCount < kSearchedSlots ? renderedCount : kSearchedSlots;

    uint8_t activeSlots[kSnapshotMaps];
    FindActiveSlots(manager, searchedSlots, maps, activeSlots);
    bool changed = !Snapshot.valid || mapCount != Snapshot.mapCount ||
                   renderedCount != Snapshot.renderedCount || cleanupTimer != Snapshot.cleanupTimer;
    // The host calls this twice a frame: the unchanged case only compares.
    for (unsigned i = 0; i < maps && !changed; ++i) {
        changed = !SameAsLogged(manager, i, activeSlots[i], Snapshot.entries[i]);
    }
    if (!changed) {
        return;
    }

    MapSnapshotEntry current[kSnapshotMaps] = {};
    for (unsigned i = 0; i < maps; ++i) {
        current[i] = ReadMap(manager, i, activeSlots[i]);
    }
    LogMessage("DamageMapState %s manager=%p mapCount=%u renderedCount=%u cleanupTimer=%u", label,
               managerObject, unsigned{mapCount}, unsigned{renderedCount}, cleanupTimer);
    for (unsigned i = 0; i < maps; ++i) {
        LogMap(i, current[i]);
    }
    Snapshot.mapCount = mapCount;
    Snapshot.renderedCount = renderedCount;
    std::memcpy(Snapshot.entries, current, sizeof current);
    Snapshot.cleanupTimer = cleanupTimer;
    Snapshot.valid = true;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
void __thiscall DamageManagerDiagnosticsHook(void* manager) {
    // The host calls this every frame: with logging off it only passes the call on.
    if (!LogEnabled || !LogLockReady) {
        UpdateRenderMaps(manager);
        return;
    }
    LogDamageMapState(manager, "before_UpdateRenderMaps");
    UpdateRenderMaps(manager);
    LogDamageMapState(manager, "after_UpdateRenderMaps");
}
#pragma GCC diagnostic pop

CallSite InspectDiagnosticsCallSite() {
    return InspectCallSite(Host::RenderMapsUpdateCallSite, Host::UpdateRenderMapsAddress,
                           reinterpret_cast<const void*>(&DamageManagerDiagnosticsHook));
}

void InstallDamageManagerDiagnosticsHook(const CallSite& site) {
    const char* const name = "CharacterDamageManager diagnostics hook";
    if (!MayHookCall(site, UpdateRenderMapsHandOn, name)) {
        return;
    }
    LogMessage("Installing CharacterDamageManager diagnostics hook at call 0x%08X",
               static_cast<unsigned>(site.Address));
    HookCall(site, reinterpret_cast<const void*>(&DamageManagerDiagnosticsHook), UpdateRenderMapsHandOn,
             name);
}
