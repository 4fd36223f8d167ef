#pragma once

// Host objects built for a scenario, with the host game's layouts: the player,
// victim and execution decal tables of an execution, and a damage manager with
// its maps. Spelled here from the host's description, independent of the plug-in.

#include "HostLayout.h"

#include <cstdint>
#include <cstring>

enum class DecalList { Victim, Splatter };

// A player in an execution, its victim, and the host's execution decal tables.
class ExecutionWorld {
  public:
    ExecutionWorld();
    ~ExecutionWorld();
    ExecutionWorld(const ExecutionWorld&) = delete;
    ExecutionWorld& operator=(const ExecutionWorld&) = delete;

    // Makes this world's objects the ones the host functions hand out.
    void MakeCurrent();

    void SetInteractive(int32_t mode);
    void SetExecutionIndex(int32_t index); // the victim's execution object; the id is index + 46
    void RemoveExecutionObject();
    void SetAnimationTime(float time);
    float AnimationTime() const;
    // The controller then hands out this world's animation whatever HostReturns says.
    void BindAnimationToController();
    void SetEntry(DecalList list, int id, int stage, int k, float time, float x, float y,
                  const char* texture);
    void SetCount(DecalList list, int id, int stage, uint32_t count);
    uint8_t* Entry(DecalList list, int id, int stage, int k);

    uint32_t VictimIndex() const;
    uint32_t SplatterIndex() const;
    void ResetIndices();

    alignas(16) uint8_t player[0x1200] = {};
    alignas(16) uint8_t victim[0x1100] = {};
    alignas(16) uint8_t execution[0x200] = {};
    alignas(16) uint8_t animation[0x40] = {};
    alignas(16) uint8_t controller[0x40] = {};
    alignas(16) uint8_t modeObject[0x100] = {};
    alignas(16) uint8_t decalManager[0x40] = {};
    alignas(16) uint8_t source[0x40] = {};
    uint8_t* tables;
};

// A CharacterDamageManager with room for its 100 maps, its bytes held inline:
// the manager lies wherever its owner puts this object.
class DamageManagerWorld {
  public:
    uint8_t* Manager() { return storage; }
    uint8_t* Map(unsigned index);
    void SetMap(unsigned index, uint32_t owner, uint32_t tex, uint32_t tex2, uint8_t decals, uint8_t rendered,
                uint8_t flags);
    uint8_t& Flags(unsigned index);
    uint8_t& Rendered(unsigned index);
    void SetSlot(unsigned slot, const uint8_t* map);
    void SetCounts(uint16_t mapCount, uint16_t renderedCount, uint32_t cleanupTimer);
    void SetCleanupTimer(uint32_t timer);

  private:
    alignas(16) uint8_t storage[kManagerSize] = {};
};

template <typename T> T ReadField(const void* object, uint32_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(object) + offset, sizeof value);
    return value;
}

template <typename T> void WriteField(void* object, uint32_t offset, T value) {
    std::memcpy(static_cast<uint8_t*>(object) + offset, &value, sizeof value);
}

inline uint32_t AddressOf(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
