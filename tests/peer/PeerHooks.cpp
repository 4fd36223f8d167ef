// Another plug-in that hooks the same two host calls as Vorlaine.Crimsel, for
// the tests: it puts its own hook on a call (or a jump in the call's place)
// and hands every call on to what the call led to before it came.
#include "HostCode.h"
#include "HostLayout.h"

#include <cstdint>
#include <cstring>
#include <windows.h>

namespace {

// The host's calls of UpdateWiiExecution and UpdateRenderMaps, object in ECX.
constexpr uint32_t kSites[2] = {kExecutionUpdateCall, kRenderMapsCall};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"

bool inside[2] = {};

template <int Which> void __thiscall PeerHook(void* object);

void WriteBranch(int which, uint8_t opcode, const void* target) {
    const uint32_t site = kSites[which];
    uint8_t bytes[5] = {opcode};
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)) - (site + kCallSize);
    std::memcpy(bytes + 1, &displacement, sizeof displacement);
    DWORD old = 0;
    VirtualProtect(reinterpret_cast<void*>(site), sizeof bytes, PAGE_EXECUTE_READWRITE, &old);
    std::memcpy(reinterpret_cast<void*>(site), bytes, sizeof bytes);
    VirtualProtect(reinterpret_cast<void*>(site), sizeof bytes, old, &old);
}

// What the call at a site leads to now.
uint32_t CallTarget(int which) {
    int32_t displacement;
    std::memcpy(&displacement, reinterpret_cast<const void*>(kSites[which] + 1), sizeof displacement);
    return kSites[which] + kCallSize + static_cast<uint32_t>(displacement);
}

const void* HookOf(int which) {
    return which == 0 ? reinterpret_cast<const void*>(&PeerHook<0>)
                      : reinterpret_cast<const void*>(&PeerHook<1>);
}

} // namespace

extern "C" {

uint32_t PeerNext[2]; // where each call led before the peer took it
uint32_t PeerReturn[2] = {kExecutionUpdateCall + kCallSize, kRenderMapsCall + kCallSize};
volatile uint32_t PeerCalls[2]; // calls that reached the peer, through its hook or its jump
volatile uint32_t PeerLoops[2]; // calls that reached the peer again while it handed one on
void PeerJump0();
void PeerJump1();

// In place of a call: what the call would push, then on to where it led.
asm(".globl _PeerJump0\n"
    "_PeerJump0:\n"
    "    lock incl _PeerCalls\n"
    "    pushl _PeerReturn\n"
    "    jmp *_PeerNext\n"
    ".globl _PeerJump1\n"
    "_PeerJump1:\n"
    "    lock incl _PeerCalls+4\n"
    "    pushl _PeerReturn+4\n"
    "    jmp *_PeerNext+4\n");

// Puts the peer's hook on call 0 (UpdateWiiExecution) or 1 (UpdateRenderMaps).
__declspec(dllexport) void PeerTakeCall(int which) {
    PeerNext[which] = CallTarget(which);
    WriteBranch(which, kNearCall, HookOf(which));
}

// Replaces call 0 or 1 with a jump to the peer, which makes the call itself.
__declspec(dllexport) void PeerTakeWithJump(int which) {
    PeerNext[which] = CallTarget(which);
    WriteBranch(which, kNearJump,
                which == 0 ? reinterpret_cast<const void*>(&PeerJump0)
                           : reinterpret_cast<const void*>(&PeerJump1));
}

__declspec(dllexport) uint32_t PeerHookAddress(int which) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HookOf(which)));
}

__declspec(dllexport) uint32_t PeerJumpAddress(int which) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
        which == 0 ? reinterpret_cast<const void*>(&PeerJump0) : reinterpret_cast<const void*>(&PeerJump1)));
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
