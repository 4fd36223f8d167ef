#pragma once

// The host game as the stand-in host, the tests and the benchmark know it: its
// addresses and object layouts, spelled here once from the host's description
// and never taken from the plug-in's own header, so that a wrong address on
// either side fails a test. The addresses serve C++ (typed constants) and the
// stand-in's image (absolute symbols for the assembler).
#define HOST_LAYOUT_ADDRESSES(X)                                                                             \
    X(ImageBase, 0x00400000)                                                                                 \
    X(CodeBase, 0x00401000) /* the stand-in's code pages, up to CodeEnd */                                   \
    X(CodeEnd, 0x00610000)                                                                                   \
    X(DataBase, 0x00760000)                                                                                  \
    X(DataEnd, 0x00761000)                                                                                   \
    /* Host functions. */                                                                                    \
    X(GetExecutionDecalTables, 0x004230FF) /* thiscall on the player */                                      \
    X(GetCurrentAnimation, 0x0042E050)     /* thiscall on an animation controller */                         \
    X(GetExecutionSource, 0x004F66C0)      /* thiscall on the player */                                      \
    X(GetExecutionId, 0x00527320)          /* thiscall on an execution source */                             \
    X(GetExecutionStage, 0x00599840)       /* thiscall on the player */                                      \
    X(UpdateWiiExecution, 0x005A9640)      /* thiscall on the player */                                      \
    X(GetDecalManager, 0x005B8D00)         /* no arguments */                                                \
    X(AddCharacterDecal, 0x005B9270)       /* thiscall on the decal manager, 20 bytes of arguments */        \
    X(UpdateRenderMaps, 0x005BAD70)        /* thiscall on the damage manager */                              \
    X(SetRenderState, 0x00609470)          /* cdecl (state, value) */                                        \
    X(SetBlendFactors, 0x00609480)         /* cdecl (source, destination) */                                 \
    /* Code sites. */                                                                                        \
    X(ExecutionUpdateCall, 0x005AD857) /* call of UpdateWiiExecution, player in ECX */                       \
    X(RenderMapsCall, 0x005BB163)      /* call of UpdateRenderMaps, manager in ECX */                        \
    X(ClearSetup, 0x005BB33B)          /* 14 bytes of clear set-up */                                        \
    X(ClearSetupFill, 0x005BB340)      /* the 4 set-up bytes after the jump */                               \
    X(ClearResume, 0x005BB349)         /* takes 1.0 from the x87 stack */                                    \
    X(DecalSourceBlend, 0x005BB391)    /* one-byte immediates of the decal drawing */                        \
    X(DecalRed, 0x005BB478)                                                                                  \
    X(DecalGreen, 0x005BB481)                                                                                \
    X(DecalBlue, 0x005BB48A)                                                                                 \
    X(DecalAlpha, 0x005BB48F)                                                                                \
    X(DrawingEnd, 0x005BB512)     /* 7 bytes: clears needsClear, then the epilogue */                        \
    X(DrawingEndFill, 0x005BB517) /* the 2 bytes after the jump */                                           \
    /* The stand-in's own callers of those sites. */                                                         \
    X(HostExecutionUpdate, 0x005AD850)     /* thiscall on the player */                                      \
    X(HostDamageManagerFrame, 0x005BB160)  /* thiscall on the manager */                                     \
    X(HostClearDamageMap, 0x005BB320)      /* thiscall on the map */                                         \
    X(HostDrawDamageMapDecals, 0x005BB380) /* thiscall on the map */                                         \
    /* Host data. */                                                                                         \
    X(ExecutionModeSlot, 0x007604B0) /* pointer to the execution-mode object */                              \
    /* CharacterDamageMap: uint8 flags, 0x01 needsClear, 0x02 resetAfterRender, 0x04 inactive. */            \
    X(MapFlags, 0x2DE)

#ifdef __ASSEMBLER__

#define HOST_LAYOUT_SYMBOL(name, value) .set k##name, value;
HOST_LAYOUT_ADDRESSES(HOST_LAYOUT_SYMBOL)

#else

#include <cstdint>

#define HOST_LAYOUT_CONSTANT(name, value) constexpr uint32_t k##name = value;
HOST_LAYOUT_ADDRESSES(HOST_LAYOUT_CONSTANT)
#undef HOST_LAYOUT_CONSTANT

constexpr uint32_t kCallSize = 5; // E8 and a rel32

// Execution-mode object.
constexpr uint32_t kInteractiveMode = 0xF0; // int32

// Player character.
constexpr uint32_t kAnimationController = 0x2BC;
constexpr uint32_t kStageOverrideActive = 0x1106; // uint8
constexpr uint32_t kStageOverride = 0x1114;       // int32
constexpr uint32_t kExecutionVictim = 0x1144;
constexpr uint32_t kVictimDecalIndex = 0x1150;
constexpr uint32_t kSplatterDecalIndex = 0x1154;
constexpr uint32_t kExecutionVariant = 0x1178; // int32, 2 forces stage 3

// Victim character and its execution object.
constexpr uint32_t kExecutionObject = 0x1040;
constexpr uint32_t kExecutionIndex = 0x1BC; // the execution id less 46

// Animation object.
constexpr uint32_t kAnimationTime = 0x20; // float

// Execution decal tables: [86 ids][4 stages][25 slots] of 32-byte entries, and [86][4] counts.
constexpr uint32_t kVictimDecals = 0x24F44;
constexpr uint32_t kVictimDecalCounts = 0x68244;
constexpr uint32_t kSplatterDecals = 0x687A4;
constexpr uint32_t kSplatterDecalCounts = 0xABAA4;
constexpr uint32_t kDecalTablesSize = 0xAC004;
constexpr int kStages = 4;      // per execution id
constexpr int kDecalSlots = 25; // per execution id and stage
constexpr uint32_t kDecalEntrySize = 0x20;
constexpr uint32_t kDecalEntryTime = 0x00;    // float
constexpr uint32_t kDecalEntryTexture = 0x04; // 20 characters
constexpr uint32_t kDecalEntryX = 0x18;       // float
constexpr uint32_t kDecalEntryY = 0x1C;       // float

// CharacterDamageManager.
constexpr uint32_t kManagerMaps = 0x24;
constexpr uint32_t kMapStride = 0x2E0;
constexpr uint32_t kActiveSlots = 0x11FA4;
constexpr uint32_t kMapCount = 0x12328;      // uint16
constexpr uint32_t kRenderedCount = 0x1232A; // uint16
constexpr uint32_t kCleanupTimer = 0x1232C;  // uint32
constexpr uint32_t kManagerSize = 0x12330;

// CharacterDamageMap.
constexpr uint32_t kMapOwner = 0x2D0;
constexpr uint32_t kMapTex = 0x2D4;
constexpr uint32_t kMapTex2 = 0x2D8;
constexpr uint32_t kMapDecals = 0x2DC;   // uint8
constexpr uint32_t kMapRendered = 0x2DD; // uint8
// Its flags: kMapFlags.

// Host function types, as the stand-in's callers and stubs use them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
using HostThiscall = void(__thiscall*)(void* object);
#pragma GCC diagnostic pop

#endif
