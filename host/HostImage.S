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
