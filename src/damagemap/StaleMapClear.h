#pragma once

// The bare routine that replaces the host's damage-map clear set-up: depth
// writes off, blend one/zero, 1.0 on the x87 stack, then back into the clear.
// Entered by a jump, never called.
extern "C" void StaleMapClearBlendHook();

// Sends the host's clear set-up to StaleMapClearBlendHook, unless another
// plug-in's branch already holds it.
void InstallStaleMapClearHook();
