// The stand-in host's image: code and data at the host game's own addresses.
// Every site is placed with .org relative to its section's load address, in
// rising order, so a misplaced site is an assembler error or a failing test.
// Host functions jump to recording bodies in HostFunctions.cpp, which keep
// the host's calling conventions.

#include "HostLayout.h"

    .section .hcode,"xr"
    .globl _HostCodeStart
_HostCodeStart:
    ret

// Execution decal tables getter: thiscall on the player.
    .org kGetExecutionDecalTables - kCodeBase
    jmp _StubGetExecutionDecalTables

// Current animation of an animation controller: thiscall.
    .org kGetCurrentAnimation - kCodeBase
    jmp _StubGetCurrentAnimation

// Execution source of the player: thiscall.
    .org kGetExecutionSource - kCodeBase
    jmp _StubGetExecutionSource

// Execution id of an execution source: thiscall.
    .org kGetExecutionId - kCodeBase
    jmp _StubGetExecutionId

// Execution stage of the player: thiscall.
    .org kGetExecutionStage - kCodeBase
    jmp _StubGetExecutionStage

// UpdateWiiExecution: thiscall on the player.
    .org kUpdateWiiExecution - kCodeBase
    jmp _StubUpdateWiiExecution

// The player's per-frame execution update, thiscall on the player: its call at
// kExecutionUpdateCall is the one the plug-in retargets.
    .org kHostExecutionUpdate - kCodeBase
    .globl _HostExecutionUpdate
_HostExecutionUpdate:
    push %ebp
    mov %esp, %ebp
    push %esi
    mov %ecx, %esi
    nop
    .org kExecutionUpdateCall - kCodeBase
    call kUpdateWiiExecution
    pop %esi
    pop %ebp
    ret

// The decal manager: no arguments.
    .org kGetDecalManager - kCodeBase
    jmp _StubGetDecalManager

// Adds a decal to a character: thiscall on the decal manager, 20 bytes of arguments.
    .org kAddCharacterDecal - kCodeBase
    jmp _StubAddCharacterDecal

// CharacterDamageManager::UpdateRenderMaps: thiscall on the manager.
    .org kUpdateRenderMaps - kCodeBase, 0x90
    jmp _StubUpdateRenderMaps

// The damage manager's per-frame update, thiscall on the manager: its call at
// kRenderMapsCall is the one the plug-in retargets.
    .org kHostDamageManagerFrame - kCodeBase, 0x90
    .globl _HostDamageManagerFrame
_HostDamageManagerFrame:
    push %esi
    mov %ecx, %esi
    call kUpdateRenderMaps
    pop %esi
    ret

// The damage-map clear, thiscall on the map, which it keeps in ESI. Its set-up
// from kClearSetup up to kClearResume sets render state 14 to 1 and leaves 1.0
// on the x87 stack, which the code at kClearResume takes before it draws the
// clear. Two checkpoints record the state around the set-up.
    .org kHostClearDamageMap - kCodeBase, 0x90
    .globl _HostClearDamageMap
_HostClearDamageMap:
    push %ebp
    mov %esp, %ebp
    push %ebx
    push %esi
    push %edi
    mov %ecx, %esi
    call _HostClearBeforeSetupCheckpoint
    .org kClearSetup - kCodeBase, 0x90
    push $1
    push $14
    call kSetRenderState
    add $8, %esp
    fld1
    .org kClearResume - kCodeBase, 0x90
    call _HostClearAtResumeCheckpoint
    fstps _HostClearValue
    push %esi
    mov $_StubDrawClearQuad, %eax
    call *%eax
    add $4, %esp
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret

// The decal drawing into a damage map, thiscall on the map. It keeps the map in
// EBP, sets its blend (source factor at kDecalSourceBlend), builds its colour
// from the immediates at kDecalRed, kDecalGreen, kDecalBlue and kDecalAlpha,
// draws, and ends at kDrawingEnd with ESP at the saved EBP, 16 bytes of locals
// above it.
    .org kHostDrawDamageMapDecals - kCodeBase, 0x90
    .globl _HostDrawDamageMapDecals
_HostDrawDamageMapDecals:
    sub $16, %esp
    push %ebp
    mov %ecx, %ebp
    .org kDecalSourceBlend - 3 - kCodeBase, 0x90 // its second push holds the immediate
    push $6
    push $5
    mov $kSetBlendFactors, %eax
    call *%eax
    add $8, %esp
    .org kDecalRed - 4 - kCodeBase, 0x90 // each movb holds its immediate at +4
    movb $0x80, 4(%esp)
    .org kDecalGreen - 4 - kCodeBase, 0x90
    movb $0x00, 5(%esp)
    .org kDecalBlue - 4 - kCodeBase, 0x90
    movb $0x00, 6(%esp)
    movb $0xC0, 7(%esp)
    push %ebp
    push 8(%esp)
    mov $_StubDrawDecalQuads, %eax
    call *%eax
    add $8, %esp
    .org kDrawingEnd - kCodeBase, 0x90
    andb $0xFE, kMapFlags(%ebp)
    movl $1, _HostDrawingEpilogueRan
    pop %ebp
    add $16, %esp
    ret

// Render state: cdecl (state, value).
    .org kSetRenderState - kCodeBase, 0x90
    jmp _StubSetRenderState

// Blend factors: cdecl (source, destination).
    .org kSetBlendFactors - kCodeBase, 0x90
    jmp _StubSetBlendFactors

    .org kCodeEnd - kCodeBase
    .globl _HostCodeEnd
_HostCodeEnd:

    .section .hdata,"dw"
    .globl _HostDataStart
_HostDataStart:

// Pointer to the execution-mode object.
    .org kExecutionModeSlot - kDataBase
    .long 0

    .org kDataEnd - kDataBase
