// Another plug-in that hooks the same host code as Vorlaine.Crimsel, for the
// tests: it puts its own hook on the two host calls (or a jump in a call's
// place) and hands every call on to what the call led to before it came; and
// it puts a call or a jump on the two windows that the plug-in's bare hooks
// jump from, doing the host's work there itself (PeerBranches.S).
#include "HostCode.h"
#include "HostLayout.h"

#include <cstdint>
#include <cstring>
#include <windows.h>

namespace {

// 0 and 1: the host's calls of UpdateWiiExecution and UpdateRenderMaps, object
// in ECX. 2 and 3: the clear set-up and the end of the decal drawing.
constexpr int kPlaces = 4;
constexpr uint32_t kSites[kPlaces] = {kExecutionUpdateCall, kRenderMapsCall, kClearSetup, kDrawingEnd};
// The bytes after a window's branch that belonged to the instructions it replaced.
constexpr uint32_t kFill[kPlaces] = {0, 0, 4, 2};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"

bool inside[2] = {};

template <int Which> void __thiscall PeerHook(void* object);

void WriteBranch(int which, uint8_t opcode, const void* target) {
    const uint32_t site = kSites[which];
    uint8_t bytes[kCallSize + 4] = {opcode, 0, 0, 0, 0, 0x90, 0x90, 0x90, 0x90};
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)) - (site + kCallSize);
    std::memcpy(bytes + 1, &displacement, sizeof displacement);
    const uint32_t size = kCallSize + kFill[which];
    DWORD old = 0;
    VirtualProtect(reinterpret_cast<void*>(site), size, PAGE_EXECUTE_READWRITE, &old);
    std::memcpy(reinterpret_cast<void*>(site), bytes, size);
    VirtualProtect(reinterpret_cast<void*>(site), size, old, &old);
}

// What the call at a site leads to now.
uint32_t CallTarget(int which) {
    int32_t displacement;
    std::memcpy(&displacement, reinterpret_cast<const void*>(kSites[which] + 1), sizeof displacement);
    return kSites[which] + kCallSize + static_cast<uint32_t>(displacement);
}

} // namespace

extern "C" {

uint32_t PeerNext[2]; // where each call led before the peer took it
uint32_t PeerReturn[2] = {kExecutionUpdateCall + kCallSize, kRenderMapsCall + kCallSize};
volatile uint32_t PeerCalls[kPlaces]; // calls that reached the peer, through its hook or its jump
volatile uint32_t PeerLoops[2];       // calls that reached the peer again while it handed one on
void PeerJump0();
void PeerJump1();
void PeerClearJump();
void PeerClearCall();
void PeerDrawingEndJump();
void PeerDrawingEndCall();
}

namespace {

const void* HookOf(int which) {
    const void* hooks[kPlaces] = {
        reinterpret_cast<const void*>(&PeerHook<0>), reinterpret_cast<const void*>(&PeerHook<1>),
        reinterpret_cast<const void*>(&PeerClearCall), reinterpret_cast<const void*>(&PeerDrawingEndCall)};
    return hooks[which];
}

const void* JumpOf(int which) {
    const void* jumps[kPlaces] = {
        reinterpret_cast<const void*>(&PeerJump0), reinterpret_cast<const void*>(&PeerJump1),
        reinterpret_cast<const void*>(&PeerClearJump), reinterpret_cast<const void*>(&PeerDrawingEndJump)};
    return jumps[which];
}

} // namespace

extern "C" {

// Puts the peer's call on place 0 to 3; on the two host calls it hands on to where they led.
__declspec(dllexport) void PeerTakeCall(int which) {
    if (which < 2) {
        PeerNext[which] = CallTarget(which);
    }
    WriteBranch(which, kNearCall, HookOf(which));
}

// Puts a jump to the peer on place 0 to 3; at a host call the peer makes the call itself.
__declspec(dllexport) void PeerTakeWithJump(int which) {
    if (which < 2) {
        PeerNext[which] = CallTarget(which);
    }
    WriteBranch(which, kNearJump, JumpOf(which));
}

__declspec(dllexport) uint32_t PeerHookAddress(int which) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HookOf(which)));
}

__declspec(dllexport) uint32_t PeerJumpAddress(int which) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(JumpOf(which)));
}

__declspec(dllexport) uint32_t PeerCallCount(int which) {
    return PeerCalls[which];
}

__declspec(dllexport) uint32_t PeerLoopCount(int which) {
    return PeerLoops[which];
}
}

namespace {

// Counts the call and hands it on; a call that comes back while it is handed
// on is a loop, which is counted and stopped instead of overflowing the stack.
template <int Which> void __thiscall PeerHook(void* object) {
    ++PeerCalls[Which];
    if (inside[Which]) {
        ++PeerLoops[Which];
        return;
    }
    inside[Which] = true;
    reinterpret_cast<HostThiscall>(PeerNext[Which])(object);
    inside[Which] = false;
}

} // namespace
#pragma GCC diagnostic pop
