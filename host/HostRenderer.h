#pragma once

// The stand-in's Direct3D 9 device: where the game draws, the stand-in draws
// too, so that pixels show what a render state does. d3d9.dll is loaded at run
// time; a process that never starts the renderer (the benchmark, the programs
// that are not the game) needs no display, and its host functions only record.
//
// The stand-in's own assumptions, not the game's, all written down here:
// - a damage map is a kMapPixels-square A8R8G8B8 render target;
// - a decal is a disc of kDecalRadius pixels at (X, Y) × kMapPixels, drawn from
//   a texture of uniform premultiplied white inside the disc and (0, 0, 0, 0)
//   outside, point-sampled, times the vertex colour that the drawing code builds
//   from its four colour immediates;
// - the clear draws one full-map quad of kClearColour, transparent, so that
//   under the game's usual blending (source alpha, inverse source alpha) the
//   old blood shows through;
// - the blending in force before any draw is that usual one, 5 and 6;
// - a map reused for a new character still holds its earlier owner's blood.

#include <cstdint>
#include <string>
#include <vector>

constexpr unsigned kMapPixels = 256;
constexpr float kDecalRadius = 20.0f;
constexpr unsigned kDecalTexturePixels = 64;  // the decal texture's side
constexpr uint32_t kClearColour = 0x00000000; // ARGB

// Makes the device on a hidden window; false, with the reason, when there is
// none (no X display under Wine, or no Direct3D 9).
bool StartRenderer(std::string& failure);
bool RendererStarted();

// Gives a CharacterDamageMap a render target filled with argb.
void GiveMapATarget(const void* map, uint32_t argb);
// The map's pixels, ARGB, row by row.
std::vector<uint32_t> MapPixels(const void* map);

// A decal that the host's AddCharacterDecal put on a character, kept for the
// drawing of that character's map; set as HostAddCharacterDecalAction.
void CollectDecal(void* character, float x, float y);

// The decal texture's texels, ARGB, row by row, read back from the texture
// that the device draws with; empty without a device.
std::vector<uint32_t> DecalTexels();

// Forgets every map's target and every collected decal, before a new drawing.
void ForgetDrawings();

// A quad of one colour over [x0, x1) × [y0, y1) of the map, untextured, under
// the blending in force: what the host draws after its decals.
void DrawQuad(const void* map, int x0, int y0, int x1, int y1, uint32_t argb);

// Called by the host's functions and drawing code; nothing without a device.
void RendererSetRenderState(uint32_t state, uint32_t value);
void RendererSetBlendFactors(uint32_t source, uint32_t destination);
// Draws the decals of the map's owner not yet drawn into it; rgba as the
// drawing code builds it, red in the lowest byte.
void RendererDrawDecals(const void* map, uint32_t rgba);
void RendererClearMap(const void* map);
