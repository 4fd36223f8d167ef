#pragma once

#include "config/PluginSettings.h"

// The bare routine that ends the host's decal drawing in place of its own last
// instructions: restores the usual blend factors, clears the map's needsClear
// bit and returns for the host function. Entered by a jump, never called.
extern "C" void BlendRestoreHook();

// Writes the decal colour and alpha from the settings, the Wii-style source
// blend, and the jump that contains that blend to the decal drawing; none of
// them when another plug-in's branch holds the drawing's end.
void ApplyDecalColorAlphaPatch(const PluginSettings& settings);
