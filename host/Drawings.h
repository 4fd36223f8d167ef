#pragma once

// What the rendering fixes do, drawn by the stand-in's Direct3D 9 device through
// a fresh copy of the real plug-in and the host's own code: the pictures of the
// scene and the pixels of the tests. Each panel is one damage map's pixels.

#include "HostRenderer.h"
#include "StandInHost.h"

#include <cstdint>
#include <string>
#include <vector>

// The stand-in's code pages as they were when first asked for: ask before any
// plug-in is loaded.
const std::vector<uint8_t>& PristineHostCode();

// A fresh copy of the plug-in on the game's own code: the host's code put back,
// a game folder of its own named after this program and name holding ini
// (its path in folder when asked), loaded from there; and that copy started.
LoadedPlugin LoadFreshPlugin(const std::wstring& name, const std::string& ini,
                             std::wstring* folder = nullptr);
LoadedPlugin StartFreshPlugin(const std::wstring& name, const std::string& ini);

using Panel = std::vector<uint32_t>; // kMapPixels × kMapPixels, ARGB, row by row

// Where the stand-in puts a map's decals, in the host's X/Y.
struct DecalSpot {
    float x;
    float y;
};
constexpr DecalSpot kDecalSpots[] = {{0.30f, 0.32f}, {0.68f, 0.30f}, {0.50f, 0.66f}};

// The skin tone that a map of the colour pictures starts with: opaque, so that
// colour and opacity show. Also the backdrop of every picture.
constexpr uint32_t kSkin = 0xFFD2A68C;

// What the host draws after its decals in the blend-restore pictures and checks.
constexpr uint32_t kOverlay = 0x40FFFFFF;

// A colour setting of the pictures and checks. With the patch off the decals
// keep the stand-in's own colour, its immediates red 0x80 and alpha 0xC0 (the
// game's own colour is not known here), and its own blend factors.
struct ColourSetting {
    const char* label;
    bool patch; // PatchBloodDecalColorAndAlpha
    unsigned red, green, blue, alpha;
};
extern const ColourSetting kColourSettings[4];

// The pixel in the middle of a decal spot.
uint32_t PixelAt(const Panel& panel, const DecalSpot& spot);

// A map that holds its earlier owner's blood, cleared for a new character, with
// FixStaleDamageMapDecals as given.
Panel DrawStaleMap(bool fix);

// The decals at kDecalSpots over a map of kSkin with a colour setting; with an
// overlay colour, a quad of it over the left half afterwards, as the host draws
// more after its decals under the blending then in force, or, asIfLeaked, under
// the source blend "one" that a missing restore would leave (set by the stand-in).
Panel DrawDecalColours(const ColourSetting& setting, uint32_t overlay = 0, bool asIfLeaked = false);

// The decals at kDecalSpots of colour (ARGB) drawn by the host over a map of
// one background, through a fresh copy of the plug-in with the patch on: as the
// patch draws them, and with the drawing's own source blend (source alpha) put
// back under the same colour. One pair of maps per background, in their order.
struct BlendedPanels {
    Panel patched;
    Panel usual;
};
std::vector<BlendedPanels> DrawDecalBlends(uint32_t colour, const std::vector<uint32_t>& backgrounds);

// The victim's map after each of the ten frames of the scene's non-interactive
// execution, with FixExecutionBloodDecals as given.
std::vector<Panel> DrawExecutionFrames(bool fix);

// The scene's execution: id 56, stage 1, the victim's decals as they come due.
struct DueDecal {
    float time;
    float x;
    float y;
    const char* texture;
};
extern const DueDecal kExecutionVictimDecals[4];

// A picture: panels side by side in rows, each over kSkin, scaled down by a
// whole factor, with a gap between them.
struct Picture {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint32_t> argb;
};
Picture Compose(const std::vector<Panel>& panels, unsigned columns, unsigned shrink);

bool WritePng(const std::wstring& path, const Picture& picture);
bool ReadPng(const std::wstring& path, Picture& picture);
// The largest difference of one channel between two pictures of one size; 256 when their sizes differ.
unsigned LargestDifference(const Picture& a, const Picture& b);

// The pictures of the scene, by file name, with what each shows.
struct NamedPicture {
    std::string file;
    std::string caption;
    Picture picture;
};
std::vector<NamedPicture> DrawPictures();
