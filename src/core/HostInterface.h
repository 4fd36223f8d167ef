#pragma once

// Everything the plug-in knows of the host game: one executable build, loaded
// at its fixed base 0x400000 and never relocated. No other file spells a host
// address or offset.

// The values that the bare assembly hooks use as well, listed once: typed
// constants in C++, absolute symbols for the assembler.
#define HOST_SHARED_CONSTANTS(X)                                                                             \
    X(HostSetRenderStateAddress, 0x00609470)  /* cdecl (state, value) */                                     \
    X(HostSetBlendFactorsAddress, 0x00609480) /* cdecl (source, destination) */                              \
    X(StaleMapClearResume, 0x005BB349)        /* the clear goes on here, taking 1.0 from the x87 stack */    \
    X(DamageMapFlags, 0x2DE)                  /* CharacterDamageMap: uint8 flags */                          \
    X(DamageMapNeedsClear, 0x01)              /* bit of DamageMapFlags */

#ifdef __ASSEMBLER__

#define HOST_ASSEMBLER_CONSTANT(name, value) .set name, value;
HOST_SHARED_CONSTANTS(HOST_ASSEMBLER_CONSTANT)

#else

#include <cstdint>

namespace Host {

using Address = uintptr_t;

#define HOST_CPP_CONSTANT(name, value) constexpr uint32_t name = value;
HOST_SHARED_CONSTANTS(HOST_CPP_CONSTANT)
#undef HOST_CPP_CONSTANT

// Host function types. Thiscall: object in ECX, stack arguments removed by the
// callee. Cdecl: the caller removes them. GCC applies thiscall to plain
// functions as asked but warns that they are not class members.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
using UpdateWiiExecutionFunction = void(__thiscall*)(void* player);
using GetExecutionDecalTablesFunction = uint8_t*(__thiscall*)(void* player);
using GetDecalManagerFunction = void* (*)();
using GetExecutionSourceFunction = void*(__thiscall*)(void* player);
using GetExecutionIdFunction = int32_t(__thiscall*)(void* source);
using GetExecutionStageFunction = int32_t(__thiscall*)(void* player);
using GetCurrentAnimationFunction = uint8_t*(__thiscall*)(void* animationController);
using AddCharacterDecalFunction = void(__thiscall*)(void* decalManager, void* character, float x, float y,
                                                    const char* texture, int32_t zero);
using UpdateRenderMapsFunction = void(__thiscall*)(void* damageManager);
#pragma GCC diagnostic pop

// The game's executable image, at its fixed base.
constexpr Address ImageBase = 0x00400000;

// The two host functions whose calls the hooks take over. The hooks hand those
// calls on through what the call site led to when they took it: these
// functions on the game alone, another plug-in's hook where one was there first.
constexpr Address UpdateWiiExecutionAddress = 0x005A9640;
constexpr Address UpdateRenderMapsAddress = 0x005BAD70;

// Host functions, called through their absolute addresses.
inline const auto HostGetExecutionDecalTables = reinterpret_cast<GetExecutionDecalTablesFunction>(0x004230FF);
inline const auto HostGetDecalManager = reinterpret_cast<GetDecalManagerFunction>(0x005B8D00);
inline const auto HostGetExecutionSource = reinterpret_cast<GetExecutionSourceFunction>(0x004F66C0);
inline const auto HostGetExecutionId = reinterpret_cast<GetExecutionIdFunction>(0x00527320);
inline const auto HostGetExecutionStage = reinterpret_cast<GetExecutionStageFunction>(0x00599840);
inline const auto HostGetCurrentAnimation = reinterpret_cast<GetCurrentAnimationFunction>(0x0042E050);
inline const auto HostAddCharacterDecal = reinterpret_cast<AddCharacterDecalFunction>(0x005B9270);

// Host code sites.
constexpr Address ExecutionUpdateCallSite = 0x005AD857;  // call of UpdateWiiExecution, player in ECX
constexpr Address RenderMapsUpdateCallSite = 0x005BB163; // call of UpdateRenderMaps, manager in ECX
constexpr uint32_t CallSize = 5;                         // E8 and a rel32
constexpr Address StaleMapClearSetup = 0x005BB33B;     // 14 bytes of clear set-up, up to StaleMapClearResume
constexpr Address StaleMapClearSetupFill = 0x005BB340; // the set-up bytes after the jump
constexpr uint32_t StaleMapClearSetupFillSize = 4;
constexpr Address DecalSourceBlend = 0x005BB391; // uint8 immediate: source blend factor of the decal drawing
constexpr Address DecalColorRed = 0x005BB478;    // uint8 immediates of the decal colour
constexpr Address DecalColorGreen = 0x005BB481;
constexpr Address DecalColorBlue = 0x005BB48A;
constexpr Address DecalColorAlpha = 0x005BB48F;
constexpr Address DecalDrawingEnd = 0x005BB512; // 7 bytes clearing needsClear, then the epilogue; map in EBP
constexpr Address DecalDrawingEndFill = 0x005BB517; // the replaced bytes after the jump
constexpr uint32_t DecalDrawingEndFillSize = 2;

// Host data.
constexpr Address HostExecutionModeObject = 0x007604B0; // pointer to the execution-mode object

// Execution-mode object.
constexpr uint32_t InteractiveExecutionMode = 0xF0; // int32, nonzero: interactive executions

// Player character.
constexpr uint32_t PlayerAnimationController = 0x2BC;  // pointer
constexpr uint32_t PlayerStageOverrideActive = 0x1106; // uint8
constexpr uint32_t PlayerStageOverride = 0x1114;       // int32
constexpr uint32_t PlayerExecutionVictim = 0x1144;     // pointer
constexpr uint32_t PlayerVictimDecalIndex = 0x1150;    // uint32
constexpr uint32_t PlayerSplatterDecalIndex = 0x1154;  // uint32
constexpr uint32_t PlayerExecutionVariant = 0x1178;    // int32, 2 forces stage 3

// Victim character and its execution object.
constexpr uint32_t VictimExecutionObject = 0x1040; // pointer, may be null
constexpr uint32_t ExecutionObjectIndex = 0x1BC;   // int32
constexpr int32_t ExecutionIndexToId = 0x2E; // an execution object's index plus this is the execution id

// Animation object.
constexpr uint32_t AnimationTime = 0x20; // float

// Execution decal tables: [86 ids][4 stages][25 slots] of 32-byte entries, and [86][4] uint32 counts.
constexpr uint32_t VictimDecals = 0x24F44;
constexpr uint32_t VictimDecalCounts = 0x68244;
constexpr uint32_t SplatterDecals = 0x687A4;
constexpr uint32_t SplatterDecalCounts = 0xABAA4;
constexpr int32_t ExecutionIdCount = 86;
constexpr int32_t ExecutionStageCount = 4;
constexpr uint32_t ExecutionDecalSlots = 25;
constexpr int32_t ExecutionVariantForcingLastStage = 2;

// Execution decal entry, 32 bytes.
constexpr uint32_t DecalEntrySize = 0x20;
constexpr uint32_t DecalEntryTime = 0x00;    // float
constexpr uint32_t DecalEntryTexture = 0x04; // 20 characters, NUL-terminated when shorter
constexpr uint32_t DecalEntryTextureSize = 20;
constexpr uint32_t DecalEntryX = 0x18; // float
constexpr uint32_t DecalEntryY = 0x1C; // float

// CharacterDamageManager.
constexpr uint32_t ManagerMaps = 0x24; // CharacterDamageMap records, one after another
constexpr uint32_t DamageMapStride = 0x2E0;
constexpr uint32_t ManagerActiveSlots = 0x11FA4;   // pointers to maps
constexpr uint32_t ManagerMapCount = 0x12328;      // uint16
constexpr uint32_t ManagerRenderedCount = 0x1232A; // uint16
constexpr uint32_t ManagerCleanupTimer = 0x1232C;  // uint32

// CharacterDamageMap (its flags: DamageMapFlags).
constexpr uint32_t DamageMapOwner = 0x2D0;    // pointer
constexpr uint32_t DamageMapTex = 0x2D4;      // pointer
constexpr uint32_t DamageMapTex2 = 0x2D8;     // pointer
constexpr uint32_t DamageMapDecals = 0x2DC;   // uint8
constexpr uint32_t DamageMapRendered = 0x2DD; // uint8
constexpr uint8_t DamageMapResetAfterRender = 0x02;
constexpr uint8_t DamageMapInactive = 0x04;

// A field of a host object, read or written in place.
template <typename T> inline T& Field(void* object, uint32_t offset) {
    return *reinterpret_cast<T*>(static_cast<uint8_t*>(object) + offset);
}

template <typename T> inline const T& Field(const void* object, uint32_t offset) {
    return *reinterpret_cast<const T*>(static_cast<const uint8_t*>(object) + offset);
}

template <typename T> inline T& Global(Address address) {
    return *reinterpret_cast<T*>(address);
}

} // namespace Host

#endif
