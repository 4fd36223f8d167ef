// The other plug-in's code that host code jumps or calls into, with the host's
// registers and stack as they were at the branch.
#include "HostLayout.h"

    .set kSetUpCallEnd, kClearSetup + 9 // push 1, push 14, call of SetRenderState
    .set kFlagClearEnd, kDrawingEnd + 7 // the flag clear at the drawing's end

    .text
// In place of a host call: what the call would push, then on to where it led.
    .globl _PeerJump0
_PeerJump0:
    lock incl _PeerCalls
    pushl _PeerReturn
    jmp *_PeerNext

    .globl _PeerJump1
_PeerJump1:
    lock incl _PeerCalls+4
    pushl _PeerReturn+4
    jmp *_PeerNext+4

// The clear set-up's first instructions, then on after them in the host.
    .globl _PeerClearJump
_PeerClearJump:
    lock incl _PeerCalls+8
    push $1
    push $14
    mov $kSetRenderState, %eax
    call *%eax
    push $kSetUpCallEnd
    ret

// Entered by a call, whose return address lies inside the replaced instructions.
    .globl _PeerClearCall
_PeerClearCall:
    add $4, %esp
    jmp _PeerClearJump

// The flag clear at the drawing's end, then on to the host's epilogue.
    .globl _PeerDrawingEndJump
_PeerDrawingEndJump:
    lock incl _PeerCalls+12
    andb $0xFE, kMapFlags(%ebp)
    push $kFlagClearEnd
    ret

    .globl _PeerDrawingEndCall
_PeerDrawingEndCall:
    add $4, %esp
    jmp _PeerDrawingEndJump
