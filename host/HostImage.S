// The stand-in host's image: code and data at the host game's own addresses.
// Every site is placed with .org relative to its section's load address, in
// rising order, so a misplaced site is an assembler error or a failing test.
// Host functions jump to recording bodies in HostFunctions.cpp, which keep
// the host's calling conventions.

    .set HOST_CODE_BASE, 0x00401000
    .set HOST_DATA_BASE, 0x00760000

    .section .hcode,"xr"
    .globl _HostCodeStart
_HostCodeStart:
    ret

// Execution decal tables getter: thiscall on the player.
    .org 0x004230FF - HOST_CODE_BASE
    jmp _StubGetExecutionDecalTables

// Current animation of an animation controller: thiscall.
    .org 0x0042E050 - HOST_CODE_BASE
    jmp _StubGetCurrentAnimation

// Execution source of the player: thiscall.
    .org 0x004F66C0 - HOST_CODE_BASE
    jmp _StubGetExecutionSource

// Execution id of an execution source: thiscall.
    .org 0x00527320 - HOST_CODE_BASE
    jmp _StubGetExecutionId

// Execution stage of the player: thiscall.
    .org 0x00599840 - HOST_CODE_BASE
    jmp _StubGetExecutionStage

// UpdateWiiExecution: thiscall on the player.
    .org 0x005A9640 - HOST_CODE_BASE
    jmp _StubUpdateWiiExecution

// The player's per-frame execution update, thiscall on the player: its call at
// 0x005AD857 is the one the plug-in retargets.
    .org 0x005AD850 - HOST_CODE_BASE
    .globl _HostExecutionUpdate
_HostExecutionUpdate:
    push %ebp
    mov %esp, %ebp
    push %esi
    mov %ecx, %esi
    nop
    .org 0x005AD857 - HOST_CODE_BASE
    call 0x005A9640
    pop %esi
    pop %ebp
    ret

// The decal manager: no arguments.
    .org 0x005B8D00 - HOST_CODE_BASE
    jmp _StubGetDecalManager

// Adds a decal to a character: thiscall on the decal manager, 20 bytes of arguments.
    .org 0x005B9270 - HOST_CODE_BASE
    jmp _StubAddCharacterDecal

// CharacterDamageManager::UpdateRenderMaps: thiscall on the manager.
    .org 0x005BAD70 - HOST_CODE_BASE, 0x90
    jmp _StubUpdateRenderMaps

// The damage manager's per-frame update, thiscall on the manager: its call at
// 0x005BB163 is the one the plug-in retargets.
    .org 0x005BB160 - HOST_CODE_BASE, 0x90
    .globl _HostDamageManagerFrame
_HostDamageManagerFrame:
    push %esi
    mov %ecx, %esi
    call 0x005BAD70
    pop %esi
    ret

// The damage-map clear, thiscall on the map. Its set-up from 0x005BB33B to
// 0x005BB348 sets render state 14 to 1 and leaves 1.0 on the x87 stack, which
// the code at 0x005BB349 takes. Two checkpoints record the state around it.
    .org 0x005BB330 - HOST_CODE_BASE, 0x90
    .globl _HostClearDamageMap
_HostClearDamageMap:
    push %ebp
    mov %esp, %ebp
    push %ebx
    push %esi
    push %edi
    call _HostClearBeforeSetupCheckpoint
    .org 0x005BB33B - HOST_CODE_BASE, 0x90
    push $1
    push $14
    call 0x00609470
    add $8, %esp
    fld1
    .org 0x005BB349 - HOST_CODE_BASE, 0x90
    call _HostClearAtResumeCheckpoint
    fstps _HostClearValue
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret

// The decal drawing into a damage map, thiscall on the map. It keeps the map in
// EBP, sets its blend (source factor at 0x005BB391), builds its colour from the
// immediates at 0x005BB478, 0x005BB481, 0x005BB48A and 0x005BB48F, draws, and
// ends at 0x005BB512 with ESP at the saved EBP, 16 bytes of locals above it.
    .org 0x005BB380 - HOST_CODE_BASE, 0x90
    .globl _HostDrawDamageMapDecals
_HostDrawDamageMapDecals:
    sub $16, %esp
    push %ebp
    mov %ecx, %ebp
    .org 0x005BB38E - HOST_CODE_BASE, 0x90
    push $6
    push $5
    mov $0x00609480, %eax
    call *%eax
    add $8, %esp
    .org 0x005BB474 - HOST_CODE_BASE, 0x90
    movb $0x80, 4(%esp)
    .org 0x005BB47D - HOST_CODE_BASE, 0x90
    movb $0x00, 5(%esp)
    .org 0x005BB486 - HOST_CODE_BASE, 0x90
    movb $0x00, 6(%esp)
    movb $0xC0, 7(%esp)
    push 4(%esp)
    mov $_StubDrawDecalQuads, %eax
    call *%eax
    add $4, %esp
    .org 0x005BB512 - HOST_CODE_BASE, 0x90
    andb $0xFE, 0x2DE(%ebp)
    movl $1, _HostDrawingEpilogueRan
    pop %ebp
    add $16, %esp
    ret

// Render state: cdecl (state, value).
    .org 0x00609470 - HOST_CODE_BASE, 0x90
    jmp _StubSetRenderState

// Blend factors: cdecl (source, destination).
    .org 0x00609480 - HOST_CODE_BASE, 0x90
    jmp _StubSetBlendFactors

    .org 0x00610000 - HOST_CODE_BASE
    .globl _HostCodeEnd
_HostCodeEnd:

    .section .hdata,"dw"
    .globl _HostDataStart
_HostDataStart:

// Pointer to the execution-mode object.
    .org 0x007604B0 - HOST_DATA_BASE
    .long 0

    .org 0x00761000 - HOST_DATA_BASE
