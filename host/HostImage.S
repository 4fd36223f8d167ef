// The stand-in host's image: code and data at the host game's own addresses.
// Every site is placed with .org relative to the section's load address, so a
// misplaced site shows up as an assembler error or a failing test.

    .set HOST_CODE_BASE, 0x00401000
    .set HOST_DATA_BASE, 0x00760000

    .section .hcode,"xr"
    .globl _HostCodeStart
_HostCodeStart:
    ret

    .org 0x00610000 - HOST_CODE_BASE
    .globl _HostCodeEnd
_HostCodeEnd:

    .section .hdata,"dw"
    .globl _HostDataStart
_HostDataStart:
    .org 0x00761000 - HOST_DATA_BASE
