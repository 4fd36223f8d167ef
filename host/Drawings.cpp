#include "Drawings.h"

#include "HostFiles.h"
#include "HostFunctions.h"
#include "HostLayout.h"
#include "HostWorld.h"
#include "StandInHost.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

const ColourSetting kColourSettings[4] = {
    {"patch off, the stand-in's own colour (PatchBloodDecalColorAndAlpha=0)", false, 0, 0, 0, 0},
    {"the defaults 224/224/224/255", true, 224, 224, 224, 255},
    {"200/10/40/255", true, 200, 10, 40, 255},
    {"60/180/255/128, translucent", true, 60, 180, 255, 128},
};

const DueDecal kExecutionVictimDecals[4] = {{0.15f, 0.30f, 0.40f, "neck_spurt"},
                                            {0.30f, 0.62f, 0.30f, "chest_slash"},
                                            {0.30f, 0.55f, 0.55f, "chest_drip"},
                                            {0.75f, 0.40f, 0.75f, "ground_pool"}};

namespace {

constexpr uint32_t kGap = 0xFF202020;
constexpr unsigned kGapPixels = 4;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
using AddCharacterDecal = void(__thiscall*)(void* manager, void* character, float x, float y,
                                            const char* texture, int32_t zero);
#pragma GCC diagnostic pop

std::string Ini(bool execution, bool patch, bool stale, const ColourSetting& colour) {
    char text[400];
    std::snprintf(
        text, sizeof text,
        "[General]\r\nFixExecutionBloodDecals=%d\r\nPatchBloodDecalColorAndAlpha=%d\r\n"
        "FixStaleDamageMapDecals=%d\r\n[BloodDecal]\r\nRed=%u\r\nGreen=%u\r\nBlue=%u\r\nAlpha=%u\r\n",
        execution, patch, stale, colour.red, colour.green, colour.blue, colour.alpha);
    return text;
}

// A map of the stand-in's own, its target filled with argb, owned by owner.
struct DrawnMap {
    alignas(16) uint8_t map[kMapStride] = {};

    DrawnMap(const void* owner, uint32_t argb) {
        ForgetDrawings();
        HostAddCharacterDecalAction = CollectDecal;
        WriteField(map, kMapOwner, AddressOf(owner));
        GiveMapATarget(map, argb);
    }
    ~DrawnMap() { HostAddCharacterDecalAction = nullptr; }
    DrawnMap(const DrawnMap&) = delete;
    DrawnMap& operator=(const DrawnMap&) = delete;

    void AddDecalsAtTheSpots(void* character) {
        static char texture[] = "blood_splat";
        for (const DecalSpot& spot : kDecalSpots) {
            reinterpret_cast<AddCharacterDecal>(kAddCharacterDecal)(nullptr, character, spot.x, spot.y,
                                                                    texture, 0);
        }
    }

    void Run(uint32_t function) { CallWithSentinels(function, AddressOf(map)); }
};

uint8_t Channel(uint32_t argb, int shift) {
    return static_cast<uint8_t>(argb >> shift);
}

// Straight alpha over the opaque skin tone, in whole numbers so that a build
// always draws the same picture.
uint32_t OverSkin(uint32_t argb) {
    const unsigned alpha = argb >> 24;
    uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0}) {
        const unsigned mixed =
            (Channel(argb, shift) * alpha + Channel(kSkin, shift) * (255 - alpha) + 127) / 255;
        out |= mixed << shift;
    }
    return out;
}

} // namespace

const std::vector<uint8_t>& PristineHostCode() {
    static const std::vector<uint8_t> pristine = CopyHostCode();
    return pristine;
}

LoadedPlugin LoadFreshPlugin(const std::wstring& name, const std::string& ini, std::wstring* folder) {
    WriteHostCode(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HostCodeStart)), PristineHostCode());
    // The tests and the scene draw side by side from one folder of programs.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::wstring programName = program;
    const std::wstring stem = programName.substr(programName.find_last_of(L"\\/") + 1);
    const std::wstring game = CreateGameFolder(stem.substr(0, stem.find(L'.')) + L"-" + name);
    WriteFileBytes(game + L"Vorlaine.Crimsel.ini", ini);
    if (folder != nullptr) {
        *folder = game;
    }
    return LoadPlugin(game);
}

LoadedPlugin StartFreshPlugin(const std::wstring& name, const std::string& ini) {
    const LoadedPlugin plugin = LoadFreshPlugin(name, ini);
    if (plugin.InitializeASI != nullptr) {
        plugin.InitializeASI();
    }
    return plugin;
}

uint32_t PixelAt(const Panel& panel, const DecalSpot& spot) {
    const unsigned x = static_cast<unsigned>(spot.x * kMapPixels);
    const unsigned y = static_cast<unsigned>(spot.y * kMapPixels);
    return panel.empty() ? 0 : panel[y * kMapPixels + x];
}

Panel DrawStaleMap(bool fix) {
    StartFreshPlugin(fix ? L"drawing-stale-on" : L"drawing-stale-off",
                     Ini(false, false, fix, kColourSettings[0]));
    static uint8_t earlierOwner[16];
    static uint8_t newOwner[16];
    DrawnMap drawn(earlierOwner, kClearColour);
    drawn.AddDecalsAtTheSpots(earlierOwner);
    drawn.Run(kHostDrawDamageMapDecals);
    WriteField(drawn.map, kMapOwner, AddressOf(newOwner));
    drawn.Run(kHostClearDamageMap);
    return MapPixels(drawn.map);
}

Panel DrawDecalColours(const ColourSetting& setting, uint32_t overlay, bool asIfLeaked) {
    wchar_t name[64];
    std::swprintf(name, 64, L"drawing-colour-%d-%u-%u-%u-%u-%08X-%d", setting.patch, setting.red,
                  setting.green, setting.blue, setting.alpha, overlay, asIfLeaked);
    StartFreshPlugin(name, Ini(false, setting.patch, false, setting));
    static uint8_t owner[16];
    DrawnMap drawn(owner, kSkin);
    drawn.AddDecalsAtTheSpots(owner);
    drawn.Run(kHostDrawDamageMapDecals);
    if (asIfLeaked) {
        RendererSetBlendFactors(2, 6);
    }
    if (overlay != 0) {
        DrawQuad(drawn.map, 0, 0, kMapPixels / 2, kMapPixels, overlay);
    }
    return MapPixels(drawn.map);
}

std::vector<BlendedPanels> DrawDecalBlends(uint32_t colour, const std::vector<uint32_t>& backgrounds) {
    const ColourSetting setting{"",          true, colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF,
                                colour >> 24};
    wchar_t name[32];
    std::swprintf(name, 32, L"drawing-blend-%08X", colour);
    StartFreshPlugin(name, Ini(false, true, false, setting));
    static uint8_t owner[16];
    const auto drawOver = [](uint32_t background) {
        DrawnMap drawn(owner, background);
        drawn.AddDecalsAtTheSpots(owner);
        drawn.Run(kHostDrawDamageMapDecals);
        return MapPixels(drawn.map);
    };
    std::vector<BlendedPanels> pixels;
    for (uint32_t background : backgrounds) {
        pixels.push_back({drawOver(background), {}});
    }
    const uint32_t codeStart = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HostCodeStart));
    WriteHostCode(kDecalSourceBlend, {PristineHostCode()[kDecalSourceBlend - codeStart]});
    for (size_t i = 0; i < backgrounds.size(); ++i) {
        pixels[i].usual = drawOver(backgrounds[i]);
    }
    return pixels;
}

std::vector<Panel> DrawExecutionFrames(bool fix) {
    StartFreshPlugin(fix ? L"drawing-execution-on" : L"drawing-execution-off",
                     Ini(fix, false, false, kColourSettings[0]));
    ExecutionWorld world;
    world.SetExecutionIndex(10);
    HostReturns.ExecutionStage = 1;
    for (int k = 0; k < 4; ++k) {
        const DueDecal& due = kExecutionVictimDecals[k];
        world.SetEntry(DecalList::Victim, 56, 1, k, due.time, due.x, due.y, due.texture);
    }
    world.SetCount(DecalList::Victim, 56, 1, 4);
    DrawnMap drawn(world.victim, kClearColour);
    std::vector<Panel> frames;
    for (int frame = 1; frame <= 10; ++frame) {
        world.SetAnimationTime(0.1f * static_cast<float>(frame));
        CallWithSentinels(kHostExecutionUpdate, AddressOf(world.player));
        drawn.Run(kHostDrawDamageMapDecals);
        frames.push_back(MapPixels(drawn.map));
    }
    return frames;
}

Picture Compose(const std::vector<Panel>& panels, unsigned columns, unsigned shrink) {
    const unsigned size = kMapPixels / shrink;
    const unsigned rows = static_cast<unsigned>((panels.size() + columns - 1) / columns);
    Picture picture;
    picture.width = columns * size + (columns + 1) * kGapPixels;
    picture.height = rows * size + (rows + 1) * kGapPixels;
    picture.argb.assign(picture.width * picture.height, kGap);
    for (size_t p = 0; p < panels.size(); ++p) {
        const unsigned left = kGapPixels + static_cast<unsigned>(p % columns) * (size + kGapPixels);
        const unsigned top = kGapPixels + static_cast<unsigned>(p / columns) * (size + kGapPixels);
        for (unsigned y = 0; y < size; ++y) {
            for (unsigned x = 0; x < size; ++x) {
                // The mean of the shrunk square, each pixel over the skin first.
                unsigned sums[3] = {};
                for (unsigned dy = 0; dy < shrink; ++dy) {
                    for (unsigned dx = 0; dx < shrink; ++dx) {
                        const uint32_t pixel =
                            panels[p].empty()
                                ? 0
                                : OverSkin(panels[p][(y * shrink + dy) * kMapPixels + x * shrink + dx]);
                        sums[0] += Channel(pixel, 16);
                        sums[1] += Channel(pixel, 8);
                        sums[2] += Channel(pixel, 0);
                    }
                }
                const unsigned count = shrink * shrink;
                picture.argb[(top + y) * picture.width + left + x] =
                    0xFF000000u | ((sums[0] + count / 2) / count) << 16 |
                    ((sums[1] + count / 2) / count) << 8 | ((sums[2] + count / 2) / count);
            }
        }
    }
    return picture;
}

bool WritePng(const std::wstring& path, const Picture& picture) {
    std::vector<uint8_t> rgba;
    for (uint32_t pixel : picture.argb) {
        rgba.insert(rgba.end(),
                    {Channel(pixel, 16), Channel(pixel, 8), Channel(pixel, 0), Channel(pixel, 24)});
    }
    std::string png;
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
    };
    return stbi_write_png_to_func(append, &png, static_cast<int>(picture.width),
                                  static_cast<int>(picture.height), 4, rgba.data(),
                                  static_cast<int>(picture.width * 4)) != 0 &&
           WriteFileBytes(path, png);
}

bool ReadPng(const std::wstring& path, Picture& picture) {
    const std::string png = ReadFileBytes(path);
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                                          static_cast<int>(png.size()), &width, &height, &channels, 4);
    if (rgba == nullptr) {
        return false;
    }
    picture.width = static_cast<unsigned>(width);
    picture.height = static_cast<unsigned>(height);
    picture.argb.resize(picture.width * picture.height);
    for (size_t i = 0; i < picture.argb.size(); ++i) {
        const stbi_uc* pixel = rgba + i * 4;
        picture.argb[i] =
            uint32_t{pixel[3]} << 24 | uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
    }
    stbi_image_free(rgba);
    return true;
}

unsigned LargestDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.argb.size() != b.argb.size()) {
        return 256;
    }
    unsigned largest = 0;
    for (size_t i = 0; i < a.argb.size(); ++i) {
        for (int shift : {24, 16, 8, 0}) {
            const int difference = Channel(a.argb[i], shift) - Channel(b.argb[i], shift);
            largest = std::max(largest, static_cast<unsigned>(difference < 0 ? -difference : difference));
        }
    }
    return largest;
}

std::vector<NamedPicture> DrawPictures() {
    std::vector<NamedPicture> pictures;
    pictures.push_back({"stale-map.png",
                        "a damage map that held its earlier owner's blood, cleared for a new character: "
                        "FixStaleDamageMapDecals=0 (left), =1 (right)",
                        Compose({DrawStaleMap(false), DrawStaleMap(true)}, 2, 1)});
    std::vector<Panel> colours;
    std::string caption = "three decals over a map of skin tone:";
    for (const ColourSetting& setting : kColourSettings) {
        colours.push_back(DrawDecalColours(setting));
        caption += std::string(colours.size() == 1 ? " " : ", ") + setting.label;
    }
    pictures.push_back({"decal-colours.png", caption, Compose(colours, 4, 1)});
    std::vector<Panel> frames = DrawExecutionFrames(false);
    const std::vector<Panel> fixed = DrawExecutionFrames(true);
    frames.insert(frames.end(), fixed.begin(), fixed.end());
    pictures.push_back({"execution-decals.png",
                        "the victim's map after each of the ten frames of a non-interactive execution: "
                        "FixExecutionBloodDecals=0 (top), =1 (bottom)",
                        Compose(frames, 10, 2)});
    pictures.push_back(
        {"blend-restore.png",
         "with the patch on (200/10/40/255), a translucent white quad that the host draws over the "
         "left half after its decals: blended with source alpha as BlendRestoreHook leaves it "
         "(left), and under the source blend \"one\" that a missing restore would leave (right, "
         "set by the stand-in)",
         Compose({DrawDecalColours(kColourSettings[2], kOverlay),
                  DrawDecalColours(kColourSettings[2], kOverlay, true)},
                 2, 1)});
    return pictures;
}
