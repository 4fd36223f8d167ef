#include "HostWorld.h"

#include "HostFunctions.h"

#include <cstring>
#include <windows.h>

namespace {

uint32_t EntriesOffset(DecalList list) {
    return list == DecalList::Victim ? kVictimDecals : kSplatterDecals;
}
uint32_t CountsOffset(DecalList list) {
    return list == DecalList::Victim ? kVictimDecalCounts : kSplatterDecalCounts;
}

} // namespace

ExecutionWorld::ExecutionWorld()
    : tables(static_cast<uint8_t*>(
          VirtualAlloc(nullptr, kDecalTablesSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
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
    return tables + EntriesOffset(list) + ((id * kStages + stage) * kDecalSlots + k) * kDecalEntrySize;
}

void ExecutionWorld::SetEntry(DecalList list, int id, int stage, int k, float time, float x, float y,
                              const char* texture) {
    uint8_t* entry = Entry(list, id, stage, k);
    WriteField(entry, kDecalEntryTime, time);
    std::memset(entry + 4, 0, 20);
    std::strncpy(reinterpret_cast<char*>(entry + kDecalEntryTexture), texture,
                 kDecalEntryX - kDecalEntryTexture);
    WriteField(entry, kDecalEntryX, x);
    WriteField(entry, kDecalEntryY, y);
}

void ExecutionWorld::SetCount(DecalList list, int id, int stage, uint32_t count) {
    WriteField(tables, CountsOffset(list) + (id * kStages + stage) * 4, count);
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

uint8_t* DamageManagerWorld::Map(unsigned index) {
    return storage + kManagerMaps + index * kMapStride;
}

void DamageManagerWorld::SetMap(unsigned index, uint32_t owner, uint32_t tex, uint32_t tex2, uint8_t decals,
                                uint8_t rendered, uint8_t flags) {
    uint8_t* map = Map(index);
    WriteField(map, kMapOwner, owner);
    WriteField(map, kMapTex, tex);
    WriteField(map, kMapTex2, tex2);
    WriteField(map, kMapDecals, decals);
    WriteField(map, kMapRendered, rendered);
    WriteField(map, kMapFlags, flags);
}

uint8_t& DamageManagerWorld::Flags(unsigned index) {
    return Map(index)[kMapFlags];
}
uint8_t& DamageManagerWorld::Rendered(unsigned index) {
    return Map(index)[kMapRendered];
}

void DamageManagerWorld::SetSlot(unsigned slot, const uint8_t* map) {
    WriteField(storage, kActiveSlots + slot * 4, AddressOf(map));
}

void DamageManagerWorld::SetCounts(uint16_t mapCount, uint16_t renderedCount, uint32_t cleanupTimer) {
    WriteField(storage, kMapCount, mapCount);
    WriteField(storage, kRenderedCount, renderedCount);
    WriteField(storage, kCleanupTimer, cleanupTimer);
}

void DamageManagerWorld::SetCleanupTimer(uint32_t timer) {
    WriteField(storage, kCleanupTimer, timer);
}

void ExecutionWorld::BindAnimationToController() {
    WriteField(controller, 0, AddressOf(animation));
}
