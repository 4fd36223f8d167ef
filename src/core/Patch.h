#pragma once

#include <cstddef>
#include <cstdint>

// The only ways the plug-in writes into the host's code. Each write opens one
// window of changed page protection and restores it afterwards. A window whose
// pages cannot be made writable is skipped and logged instead of written.

void WriteProtectedBytes(uintptr_t address, const void* bytes, size_t count);

// Points the 5-byte near call at callAddress to hook; only its displacement changes.
void RetargetCall(uintptr_t callAddress, const void* hook);

// Writes a 5-byte near jump at address to target.
void WriteJump(uintptr_t address, const void* target);

void WriteNops(uintptr_t address, size_t count);

// rel32 of a near call or jump whose next instruction is at nextInstruction, modulo 2^32.
uint32_t RelativeDisplacement(uintptr_t nextInstruction, const void* target);
