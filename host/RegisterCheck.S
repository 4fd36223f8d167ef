// cdecl void CallWithSentinels(uint32_t function, uint32_t ecx)
// Calls host code with known callee-saved registers and records what comes back,
// so a hook that loses EBX, ESI, EDI, EBP or unbalances the stack is caught.

    .text
    .globl _CallWithSentinels
_CallWithSentinels:
    push %ebp
    push %ebx
    push %esi
    push %edi
    mov 20(%esp), %eax
    mov 24(%esp), %ecx
    mov %esp, _LastRegisterCheck + 20
    mov $0x11111111, %ebx
    mov $0x22222222, %esi
    mov $0x33333333, %edi
    mov $0x44444444, %ebp
    call *%eax
    mov %ebx, _LastRegisterCheck + 0
    mov %esi, _LastRegisterCheck + 4
    mov %edi, _LastRegisterCheck + 8
    mov %ebp, _LastRegisterCheck + 12
    mov %esp, _LastRegisterCheck + 16
    mov _LastRegisterCheck + 20, %esp
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret

    .bss
    .globl _LastRegisterCheck
    .p2align 2
_LastRegisterCheck:
    .space 24

// The checkpoints of the host's damage-map clear. Each records the caller's
// callee-saved registers, its ESP (without this call's return address) and the
// x87 status and top of stack, then returns; only EAX is changed.
.macro CHECKPOINT name, record
    .text
    .globl \name
\name:
    mov %ebx, \record + 0
    mov %esi, \record + 4
    mov %edi, \record + 8
    mov %ebp, \record + 12
    lea 4(%esp), %eax
    mov %eax, \record + 16
    xor %eax, %eax
    fnstsw %ax
    mov %eax, \record + 20
    fsts \record + 24
    fnclex
    ret
    .bss
    .globl \record
    .p2align 2
\record:
    .space 28
.endm

    CHECKPOINT _HostClearBeforeSetupCheckpoint, _HostClearBeforeSetup
    CHECKPOINT _HostClearAtResumeCheckpoint, _HostClearAtResume
