// BlendRestoreHook: entered by the jump at the end of the host's decal drawing,
// with the map in EBP and ESP at the caller's saved EBP, 16 bytes of the
// function's locals above it, then its return address. It has no frame of its
// own and returns for the host function.
#include "core/HostInterface.h"

    .set BLEND_SOURCE_ALPHA, 5
    .set BLEND_INVERSE_SOURCE_ALPHA, 6
    .set DRAWING_LOCALS, 16

    .text
    .globl _BlendRestoreHook
_BlendRestoreHook:
    push $BLEND_INVERSE_SOURCE_ALPHA
    push $BLEND_SOURCE_ALPHA
    mov $HostSetBlendFactorsAddress, %eax
    call *%eax
    add $8, %esp
    andb $~DamageMapNeedsClear & 0xFF, DamageMapFlags(%ebp)
    pop %ebp
    add $DRAWING_LOCALS, %esp
    ret
