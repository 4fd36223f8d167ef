// StaleMapClearBlendHook: entered by the jump at the host's damage-map clear
// set-up. Nothing of the host's EAX, ECX or EDX is needed afterwards; ESP is
// back to its value on entry when the clear goes on.
#include "core/HostInterface.h"

    .set RENDER_STATE_DEPTH_WRITE, 14
    .set BLEND_ONE, 2
    .set BLEND_ZERO, 1

    .text
    .globl _StaleMapClearBlendHook
_StaleMapClearBlendHook:
    push $0
    push $RENDER_STATE_DEPTH_WRITE
    mov $HostSetRenderStateAddress, %eax
    call *%eax
    add $8, %esp
    push $BLEND_ZERO
    push $BLEND_ONE
    mov $HostSetBlendFactorsAddress, %eax
    call *%eax
    add $8, %esp
    fld1
    push $StaleMapClearResume
    ret
