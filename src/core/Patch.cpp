#include "core/Patch.h"

#include "log/Log.h"

#include <cstring>
#include <windows.h>

namespace {

constexpr uint8_t kNearJump = 0xE9;
constexpr int kNop = 0x90;
constexpr size_t kBranchSize = 5;

// Makes a window of host code writable for its lifetime and gives it back its
// former protection when it ends.
struct WritableWindow {
    void* address;
    size_t size;
    DWORD oldProtection = 0;
    bool writable;

    WritableWindow(uintptr_t start, size_t count)
        : address(reinterpret_cast<void*>(start)), size(count),
          writable(VirtualProtect(address, size, PAGE_EXECUTE_READWRITE, &oldProtection) != 0) {}

    ~WritableWindow() {
        if (writable) {
            DWORD unused = 0;
            VirtualProtect(address, size, oldProtection, &unused);
        }
    }

    WritableWindow(const WritableWindow&) = delete;
    WritableWindow& operator=(const WritableWindow&) = delete;
};

// One store per operand size, so a displacement is never seen half written.
void Store(uintptr_t address, const uint8_t* bytes, size_t count) {
    switch (count) {
    case 1:
        *reinterpret_cast<volatile uint8_t*>(address) = bytes[0];
        break;
    case 2: {
        uint16_t value;
        std::memcpy(&value, bytes, sizeof value);
        *reinterpret_cast<volatile uint16_t*>(address) = value;
        break;
    }
    case 4: {
        uint32_t value;
        std::memcpy(&value, bytes, sizeof value);
        *reinterpret_cast<volatile uint32_t*>(address) = value;
        break;
    }
    case 5: {
        uint32_t value;
        std::memcpy(&value, bytes + 1, sizeof value);
        *reinterpret_cast<volatile uint8_t*>(address) = bytes[0];
        *reinterpret_cast<volatile uint32_t*>(address + 1) = value;
        break;
    }
    default:
        std::memcpy(reinterpret_cast<void*>(address), bytes, count);
        break;
    }
}

// Runs store inside a writable window over [address, address + count).
template <typename StoreFunction>
void WithWritableWindow(uintptr_t address, size_t count, StoreFunction store) {
    WritableWindow window(address, count);
    if (!window.writable) {
        // Storing into a page that did not become writable would crash the game.
        LogMessage("Patch skipped: 0x%08X (%u bytes) could not be made writable",
                   static_cast<unsigned>(address), static_cast<unsigned>(count));
        return;
    }
    store();
}

} // namespace

uint32_t RelativeDisplacement(uintptr_t nextInstruction, const void* target) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)) -
           static_cast<uint32_t>(nextInstruction);
}

void WriteProtectedBytes(uintptr_t address, const void* bytes, size_t count) {
    WithWritableWindow(address, count, [&] { Store(address, static_cast<const uint8_t*>(bytes), count); });
}

// The call's opcode byte is left as the host has it; only its displacement changes.
void RetargetCall(uintptr_t callAddress, const void* hook) {
    const uint32_t displacement = RelativeDisplacement(callAddress + kBranchSize, hook);
    WriteProtectedBytes(callAddress + 1, &displacement, sizeof displacement);
}

void WriteJump(uintptr_t address, const void* target) {
    uint8_t jump[kBranchSize] = {kNearJump};
    const uint32_t displacement = RelativeDisplacement(address + kBranchSize, target);
    std::memcpy(jump + 1, &displacement, sizeof displacement);
    WriteProtectedBytes(address, jump, sizeof jump);
}

void WriteNops(uintptr_t address, size_t count) {
    WithWritableWindow(address, count, [&] { std::memset(reinterpret_cast<void*>(address), kNop, count); });
}
