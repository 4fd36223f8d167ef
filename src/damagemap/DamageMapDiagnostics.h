#pragma once

#include "core/CallSite.h"

#include <cstdint>

// One damage map as last logged.
struct MapSnapshotEntry {
    uint32_t owner;
    uint32_t tex;
    uint32_t tex2;
    uint8_t decals;
    uint8_t rendered;
    uint8_t flags;
    uint8_t activeSlot; // 0 to 7, or 0xFF when the map is in none of the first eight slots
};

constexpr unsigned kSnapshotMaps = 64;

// The damage-map state of the last logged block, shared by every manager.
struct DamageMapSnapshot {
    bool valid;
    uint16_t mapCount;
    uint16_t renderedCount;
    uint32_t cleanupTimer;
    MapSnapshotEntry entries[kSnapshotMaps];
};

// Logs a block for the manager's damage maps when they differ from the last
// block logged; nothing while logging is off or for a null manager.
void LogDamageMapState(const void* manager, const char* label);

// Stands in for the host's call of UpdateRenderMaps (manager in ECX) and logs
// the state around it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
void __thiscall DamageManagerDiagnosticsHook(void* manager);
#pragma GCC diagnostic pop

// What the host's UpdateRenderMaps call holds now.
CallSite InspectDiagnosticsCallSite();

// Retargets the host's UpdateRenderMaps call to the diagnostics hook, unless
// another plug-in holds it in a way the hook must leave alone.
void InstallDamageManagerDiagnosticsHook(const CallSite& site);
