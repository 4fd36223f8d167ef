#pragma once

// The stand-in host's functions: each records its call (ECX and stack
// arguments) in a journal that tests read, keeps the host's calling convention
// and returns what the test set up.

#include <cstdint>
#include <vector>

enum class HostFunction : uint32_t {
    UpdateWiiExecution,
    GetExecutionDecalTables,
    GetDecalManager,
    GetExecutionSource,
    GetExecutionId,
    GetExecutionStage,
    GetCurrentAnimation,
    AddCharacterDecal,
    SetRenderState,
    SetBlendFactors,
    DrawDecalQuads,
    UpdateRenderMaps,
};

struct HostCall {
    HostFunction Function;
    uint32_t Ecx;
    uint32_t Args[5];
};

// What the host's getters return.
struct HostReturnValues {
    void* DecalTables;
    void* DecalManager;
    void* ExecutionSource;
    int32_t ExecutionId;
    int32_t ExecutionStage;
    void* Animation;
};

extern HostReturnValues HostReturns;

// What the host's UpdateRenderMaps does to the manager, when set.
extern void (*HostUpdateRenderMapsAction)(void* manager);

// What happens in the host while it adds a decal to a character, when set:
// its animation may run on, another character may become the victim, or the
// renderer keeps the decal for the character's damage map.
extern void (*HostAddCharacterDecalAction)(void* character, float x, float y);

// Benchmarks switch the journal off so that it does not grow with every call.
extern bool HostJournalEnabled;

const std::vector<HostCall>& HostJournal();
void ClearHostJournal();
std::vector<HostCall> HostCallsOf(HostFunction function);

// Set by the host's decal drawing when its own epilogue runs.
extern "C" volatile uint32_t HostDrawingEpilogueRan;

// The value the host's clear took from the x87 stack.
extern "C" volatile float HostClearValue;

// Registers and x87 state at the two checkpoints of the host's damage-map clear:
// just before its set-up at kClearSetup and where it goes on at kClearResume.
struct ClearCheckpoint {
    uint32_t Ebx;
    uint32_t Esi;
    uint32_t Edi;
    uint32_t Ebp;
    uint32_t Esp;
    uint32_t FpuStatus; // bits 11 to 13: the top of the x87 stack
    float Top;          // st(0), as a float
};

extern "C" ClearCheckpoint HostClearBeforeSetup;
extern "C" ClearCheckpoint HostClearAtResume;

inline unsigned FpuStackTop(const ClearCheckpoint& checkpoint) {
    return (checkpoint.FpuStatus >> 11) & 7u;
}

// Registers seen around a call made by CallWithSentinels.
struct RegisterCheck {
    uint32_t Ebx;
    uint32_t Esi;
    uint32_t Edi;
    uint32_t Ebp;
    uint32_t EspAfter;
    uint32_t EspBefore;
};

constexpr uint32_t kSentinelEbx = 0x11111111;
constexpr uint32_t kSentinelEsi = 0x22222222;
constexpr uint32_t kSentinelEdi = 0x33333333;
constexpr uint32_t kSentinelEbp = 0x44444444;

extern "C" RegisterCheck LastRegisterCheck;

// Calls the host code at function with ECX = ecx and EBX, ESI, EDI, EBP set to
// the sentinels, then records those registers and ESP in LastRegisterCheck.
extern "C" void CallWithSentinels(uint32_t function, uint32_t ecx);

// True when the last CallWithSentinels got back the callee-saved registers and the stack it had.
inline bool CalleeSavedRegistersKept() {
    const RegisterCheck& check = LastRegisterCheck;
    return check.Ebx == kSentinelEbx && check.Esi == kSentinelEsi && check.Edi == kSentinelEdi &&
           check.Ebp == kSentinelEbp && check.EspAfter == check.EspBefore;
}
