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
