// A program that is not the game, linked at the game's base: its own image
// holds other bytes, int3 throughout, where the game has its code.
#include "HostLayout.h"

    .section .other,"xr"
    .globl _OtherCodeStart
_OtherCodeStart:
    .fill kCodeEnd - kCodeBase, 1, 0xCC
    .globl _OtherCodeEnd
_OtherCodeEnd:
