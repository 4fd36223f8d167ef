#include "HostWorld.h"

#include "HostFunctions.h"

#include <cstring>
#include <windows.h>

namespace {

constexpr uint32_t kExecutionModeSlot = 0x007604B0;
constexpr uint32_t kInteractiveMode = 0xF0;
constexpr uint32_t kAnimationController = 0x2BC;
constexpr uint32_t kExecutionVictim = 0x1144;
constexpr uint32_t kVictimDecalIndex = 0x1150;
constexpr uint32_t kSplatterDecalIndex = 0x1154;
constexpr uint32_t kExecutionObject = 0x1040;
constexpr uint32_t kExecutionIndex = 0x1BC;
constexpr uint32_t kAnimationTime = 0x20;
constexpr uint32_t kTablesSize = 0xAC004;

constexpr uint32_t kMaps = 0x24;
constexpr uint32_t kMapStride = 0x2E0;
constexpr uint32_t kActiveSlots = 0x11FA4;
constexpr uint32_t kMapCount = 0x12328;
constexpr uint32_t kRenderedCount = 0x1232A;
constexpr uint32_t kCleanupTimer = 0x1232C;
constexpr uint32_t kManagerSize = 0x12330;

uint32_t EntriesOffset(DecalList list) {
    return list == DecalList::Victim ? 0x24F44 : 0x687A4;
}
uint32_t CountsOffset(DecalList list) {
    return list == DecalList::Victim ? 0x68244 : 0xABAA4;
}

} // namespace

ExecutionWorld::ExecutionWorld()
    : tables(static_cast<uint8_t*>(
          VirtualAlloc(nullptr, kTablesSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
    WriteField(player, kAnimationController, AddressOf(controller));
    WriteField(player, kExecutionVictim, AddressOf(victim));
    WriteField(victim, kExecutionObject, AddressOf(execution));
    MakeCurrent();
}

ExecutionWorld::~ExecutionWorld() {
    VirtualFree(tables, 0, MEM_RELEASE);
}

void ExecutionWorld::MakeCurrent() {
    *reinterpret_cast<void* volatile*>(kExecutionModeSlot) = modeObject;
    HostReturns.DecalTables = tables;
    HostReturns.DecalManager = decalManager;
    HostReturns.ExecutionSource = source;
    HostReturns.Animation = animation;
}

void ExecutionWorld::SetInteractive(int32_t mode) {
    WriteField(modeObject, kInteractiveMode, mode);
}
void ExecutionWorld::SetExecutionIndex(int32_t index) {
    WriteField(victim, kExecutionObject, AddressOf(execution));
    WriteField(execution, kExecutionIndex, index);
}
void ExecutionWorld::RemoveExecutionObject() {
    WriteField(victim, kExecutionObject, uint32_t{0});
}
void ExecutionWorld::SetAnimationTime(float time) {
    WriteField(animation, kAnimationTime, time);
}

float ExecutionWorld::AnimationTime() const {
    return ReadField<float>(animation, kAnimationTime);
}

uint8_t* ExecutionWorld::Entry(DecalList list, int id, int stage, int k) {
    return tables + EntriesOffset(list) + ((id * 4 + stage) * 25 + k) * 32;
}

void ExecutionWorld::SetEntry(DecalList list, int id, int stage, int k, float time, float x, float y,
                              const char* texture) {
    uint8_t* entry = Entry(list, id, stage, k);
    WriteField(entry, 0x00, time);
    std::memset(entry + 4, 0, 20);
    std::strncpy(reinterpret_cast<char*>(entry + 4), texture, 20);
    WriteField(entry, 0x18, x);
    WriteField(entry, 0x1C, y);
}

void ExecutionWorld::SetCount(DecalList list, int id, int stage, uint32_t count) {
    WriteField(tables, CountsOffset(list) + (id * 4 + stage) * 4, count);
}

uint32_t ExecutionWorld::VictimIndex() const {
    return ReadField<uint32_t>(player, kVictimDecalIndex);
}
uint32_t ExecutionWorld::SplatterIndex() const {
    return ReadField<uint32_t>(player, kSplatterDecalIndex);
}
void ExecutionWorld::ResetIndices() {
    WriteField(player, kVictimDecalIndex, uint32_t{0});
    WriteField(player, kSplatterDecalIndex, uint32_t{0});
}

DamageManagerWorld::DamageManagerWorld() : storage(kManagerSize) {}

uint8_t* DamageManagerWorld::Map(unsigned index) {
    return storage.data() + kMaps + index * kMapStride;
}

void DamageManagerWorld::SetMap(unsigned index, uint32_t owner, uint32_t tex, uint32_t tex2, uint8_t decals,
                                uint8_t rendered, uint8_t flags) {
    uint8_t* map = Map(index);
    WriteField(map, 0x2D0, owner);
    WriteField(map, 0x2D4, tex);
    WriteField(map, 0x2D8, tex2);
    WriteField(map, 0x2DC, decals);
    WriteField(map, 0x2DD, rendered);
    WriteField(map, 0x2DE, flags);
}

uint8_t& DamageManagerWorld::Flags(unsigned index) {
    return Map(index)[0x2DE];
}
uint8_t& DamageManagerWorld::Rendered(unsigned index) {
    return Map(index)[0x2DD];
}

void DamageManagerWorld::SetSlot(unsigned slot, const uint8_t* map) {
    WriteField(storage.data(), kActiveSlots + slot * 4, AddressOf(map));
}

void DamageManagerWorld::SetCounts(uint16_t mapCount, uint16_t renderedCount, uint32_t cleanupTimer) {
    WriteField(storage.data(), kMapCount, mapCount);
    WriteField(storage.data(), kRenderedCount, renderedCount);
    WriteField(storage.data(), kCleanupTimer, cleanupTimer);
}

void DamageManagerWorld::SetCleanupTimer(uint32_t timer) {
    WriteField(storage.data(), kCleanupTimer, timer);
}

void ExecutionWorld::BindAnimationToController() {
    WriteField(controller, 0, AddressOf(animation));
}
