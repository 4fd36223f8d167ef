// What the players' page must agree with, made by the plug-in and the stand-in
// in the test run and printed one JSON object a line:
//   settings <ini | @list>...  the plug-in's own LoadSettings on a copy of each file;
//                              a list names one file a line (UTF-8), for more files
//                              than a command line holds
//   template <ini>             the file that a first start writes, copied to <ini>
//   logs                       the real plug-in started where it logs a rarer start-up
//                              line; the game folder of each start
//   pixels <AARRGGBB>...       a decal of each colour that the stand-in's Direct3D 9
//                              device draws over each of the page's backgrounds, patched
//                              through the real plug-in and with the usual blend: its
//                              middle, and points inside, at and beyond its edge
//   diagnostics <seed>         the real plug-in's damage-map diagnostics through
//                              random states until its log passes 8 MiB, with the
//                              record of what was set (record.jsonl) beside it, in
//                              the game folder page_reference-generated
//   events                     short diagnostics logs, one game folder each
//                              (page_reference-event-<name>), of the changes that the
//                              page lists as events
//   longest                    the plug-in's logger, linked into this program, writes
//                              beside it lines of the kinds whose text runs to the end
//                              of the line, each cut at the longest message it writes

#include "AddressSpaceReservation.h"
#include "Drawings.h"
#include "HostFiles.h"
#include "HostFunctions.h"
#include "HostWorld.h"
#include "config/Settings.h"
#include "log/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

#include <shellapi.h>

namespace {

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// The paths of a list file: UTF-8 with or without its mark, one a line, CR LF
// or LF; blank lines name nothing.
std::vector<std::wstring> ListedPaths(const std::string& list) {
    std::vector<std::wstring> paths;
    size_t start = list.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        end = end == std::string::npos ? list.size() : end;
        std::string line = list.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            paths.push_back(Wide(line));
        }
        start = end + 1;
    }
    return paths;
}

// LoadSettings reads the INI beside its own module, this program: each file in
// turn is copied there, read (and completed, as a start of the plug-in would),
// and removed with anything the completion left.
int Settings(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> files;
    for (const std::wstring& argument : arguments) {
        if (argument.rfind(L'@', 0) == 0) {
            const std::wstring list = argument.substr(1);
            if (!FileExists(list)) {
                std::fprintf(stderr, "no list %s\n", Utf8(list).c_str());
                return 1;
            }
            const std::vector<std::wstring> listed = ListedPaths(ReadFileBytes(list));
            files.insert(files.end(), listed.begin(), listed.end());
        } else {
            files.push_back(argument);
        }
    }
    const std::wstring ini = ExecutableDirectory() + L"Vorlaine.Crimsel.ini";
    for (size_t i = 0; i < files.size(); ++i) {
        if (!FileExists(files[i])) {
            std::fprintf(stderr, "no file %s\n", Utf8(files[i]).c_str());
            return 1;
        }
        if (!WriteFileBytes(ini, ReadFileBytes(files[i]))) {
            std::fprintf(stderr, "cannot write %s\n", Utf8(ini).c_str());
            return 1;
        }
        const PluginSettings s = LoadSettings();
        std::printf("{\"file\":%u,\"FixExecutionBloodDecals\":%d,\"PatchBloodDecalColorAndAlpha\":%d,"
                    "\"FixStaleDamageMapDecals\":%d,\"EnableLogging\":%d,\"LogDamageMapDiagnostics\":%d,"
                    "\"LogExecutionDecals\":%d,\"Red\":%u,\"Green\":%u,\"Blue\":%u,\"Alpha\":%u}\n",
                    static_cast<unsigned>(i), s.FixExecutionBloodDecals, s.PatchBloodDecalColorAndAlpha,
                    s.FixStaleDamageMapDecals, s.EnableLogging, s.LogDamageMapDiagnostics,
                    s.LogExecutionDecals, s.Red, s.Green, s.Blue, s.Alpha);
        for (const wchar_t* suffix : {L"", L".rewrite", L".replaced"}) {
            DeleteFileW((ini + suffix).c_str());
        }
    }
    return 0;
}

int Template(const std::wstring& copy) {
    const std::wstring ini = ExecutableDirectory() + L"Vorlaine.Crimsel.ini";
    DeleteFileW(ini.c_str());
    LoadSettings();
    const bool copied = CopyFileW(ini.c_str(), copy.c_str(), FALSE) != 0;
    DeleteFileW(ini.c_str());
    return copied ? 0 : 1;
}

// An INI with logging on, padded with comment lines to size bytes.
std::string PaddedIni(size_t size) {
    std::string ini = "[Logging]\r\nEnableLogging=1\r\n";
    while (ini.size() + 12 <= size) {
        ini += "; padding\r\n";
    }
    return ini + std::string(size - ini.size(), ';');
}

std::string Slashed(std::wstring folder) {
    std::replace(folder.begin(), folder.end(), L'\\', L'/');
    return Utf8(folder);
}

void PrintFolder(const std::wstring& folder) {
    std::printf("{\"folder\":\"%s\"}\n", Slashed(folder).c_str());
}

int Logs() {
    PristineHostCode();
    // Over the size that the plug-in completes: left as it is, and said so.
    std::wstring large;
    LoadFreshPlugin(L"log-ini-over-size", PaddedIni((1 << 20) + 1), &large).InitializeASI();
    PrintFolder(large);
    // Another plug-in's hook from a folder too deep for a path of MAX_PATH,
    // whose whole name takes a buffer that a full address space cannot give.
    std::wstring starved;
    const LoadedPlugin plugin =
        LoadFreshPlugin(L"log-stopped-by-an-error", "[Logging]\r\nEnableLogging=1\r\n", &starved);
    std::wstring deep = L"\\\\?\\" + starved;
    for (const std::wstring& level : {std::wstring(200, L'p'), std::wstring(100, L'q')}) {
        deep += level + L"\\";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    CopyFileW((ExecutableDirectory() + L"PeerHooks.dll").c_str(), (deep + L"PeerHooks.dll").c_str(), FALSE);
    HMODULE peer = LoadLibraryW((deep + L"PeerHooks.dll").c_str());
    using TakeCall = void (*)(int);
    const TakeCall take =
        reinterpret_cast<TakeCall>(reinterpret_cast<void*>(GetProcAddress(peer, "PeerTakeCall")));
    if (take == nullptr) {
        std::fprintf(stderr, "no PeerHooks.dll beside this program\n");
        return 1;
    }
    take(0);
    LargeHeapBlocks taken;
    {
        const AddressSpaceReservation reservation;
        taken.Take();
        plugin.InitializeASI();
    }
    PrintFolder(starved);
    return 0;
}

// The page's backgrounds, ARGB: the stand-in's skin tone, black and white.
const std::vector<uint32_t> kBackgrounds = {kSkin, 0xFF000000, 0xFFFFFFFF};

// Where a decal at spot maps pixel (x, y) on its texture, as the stand-in's
// quad lays the texture over 2 × kDecalRadius pixels with the half-pixel
// offset; nothing outside the quad.
struct TexelPlace {
    bool onQuad;
    int u;
    int v;
};

TexelPlace PlaceOnTexture(const DecalSpot& spot, int x, int y) {
    const float left = spot.x * kMapPixels - kDecalRadius;
    const float top = spot.y * kMapPixels - kDecalRadius;
    const float u = (static_cast<float>(x) + 0.5f - left) / (2 * kDecalRadius);
    const float v = (static_cast<float>(y) + 0.5f - top) / (2 * kDecalRadius);
    return {u >= 0 && u < 1 && v >= 0 && v < 1, static_cast<int>(std::floor(u * kDecalTexturePixels)),
            static_cast<int>(std::floor(v * kDecalTexturePixels))};
}

// The texel under a pixel, when every texel next to it holds the same value,
// so that no rounding of the device's sampling can give another; fully clear
// off the quad, where the texture is not drawn.
std::optional<uint32_t> SureTexel(const std::vector<uint32_t>& texels, const DecalSpot& spot, int x, int y) {
    const TexelPlace place = PlaceOnTexture(spot, x, y);
    if (!place.onQuad) {
        return 0u;
    }
    const auto at = [&](int u, int v) {
        const int last = static_cast<int>(kDecalTexturePixels) - 1;
        return texels[std::clamp(v, 0, last) * kDecalTexturePixels + std::clamp(u, 0, last)];
    };
    const uint32_t texel = at(place.u, place.v);
    for (int dv = -1; dv <= 1; ++dv) {
        for (int du = -1; du <= 1; ++du) {
            if (at(place.u + du, place.v + dv) != texel) {
                return std::nullopt;
            }
        }
    }
    return texel;
}

struct Point {
    int x;
    int y;
    uint32_t texel;
};

// The points of the first decal spot: its middle, the last sure pixel inside
// the disc straight below it, two corners of its quad (clear texels), a pixel
// a little left of the quad and two away from every decal.
std::vector<Point> DecalPoints(const std::vector<uint32_t>& texels) {
    const DecalSpot& spot = kDecalSpots[0];
    const int middleX = static_cast<int>(spot.x * kMapPixels);
    const int middleY = static_cast<int>(spot.y * kMapPixels);
    int edgeY = middleY;
    while (SureTexel(texels, spot, middleX, edgeY + 1) == std::optional<uint32_t>(0xFFFFFFFFu)) {
        ++edgeY;
    }
    // The pixels whose centres the quad covers run from ceil(side - 0.5).
    const int left = static_cast<int>(std::ceil(spot.x * kMapPixels - kDecalRadius - 0.5f));
    const int top = static_cast<int>(std::ceil(spot.y * kMapPixels - kDecalRadius - 0.5f));
    const int right = static_cast<int>(std::ceil(spot.x * kMapPixels + kDecalRadius - 0.5f)) - 1;
    const int bottom = static_cast<int>(std::ceil(spot.y * kMapPixels + kDecalRadius - 0.5f)) - 1;
    const int places[][2] = {{middleX, middleY},
                             {middleX, edgeY},
                             {left + 1, top + 1},
                             {right - 1, bottom - 1},
                             {left - 3, middleY},
                             {8, 8},
                             {kMapPixels - 8, kMapPixels - 8}};
    std::vector<Point> points;
    for (const auto& [x, y] : places) {
        const std::optional<uint32_t> texel = SureTexel(texels, spot, x, y);
        if (!texel) {
            return {};
        }
        points.push_back({x, y, *texel});
    }
    return points;
}

int Pixels(const std::vector<std::wstring>& colours) {
    PristineHostCode();
    std::string failure;
    if (!StartRenderer(failure)) {
        std::fprintf(stderr, "no Direct3D 9 device: %s\n", failure.c_str());
        return 1;
    }
    const std::vector<Point> points = DecalPoints(DecalTexels());
    if (points.empty() || points[1].y == points[0].y) {
        std::fprintf(stderr, "no point of the decal texture is sure\n");
        return 1;
    }
    for (const std::wstring& hex : colours) {
        const uint32_t colour = static_cast<uint32_t>(std::wcstoul(hex.c_str(), nullptr, 16));
        const std::vector<BlendedPanels> drawn = DrawDecalBlends(colour, kBackgrounds);
        for (size_t b = 0; b < kBackgrounds.size(); ++b) {
            const Panel& patched = drawn[b].patched;
            const Panel& usual = drawn[b].usual;
            if (patched.size() != kMapPixels * kMapPixels || usual.size() != patched.size()) {
                std::fprintf(stderr, "the device gave no pixels back\n");
                return 1;
            }
            std::string sampled;
            for (const Point& point : points) {
                const size_t at = static_cast<size_t>(point.y) * kMapPixels + static_cast<size_t>(point.x);
                char text[128];
                std::snprintf(
                    text, sizeof text, "%s{\"x\":%d,\"y\":%d,\"texel\":%u,\"patched\":%u,\"usual\":%u}",
                    sampled.empty() ? "" : ",", point.x, point.y, point.texel, patched[at], usual[at]);
                sampled += text;
            }
            std::printf("{\"colour\":%u,\"background\":%u,\"patched\":%u,\"usual\":%u,\"points\":[%s]}\n",
                        colour, kBackgrounds[b], PixelAt(patched, kDecalSpots[0]),
                        PixelAt(usual, kDecalSpots[0]), sampled.c_str());
        }
    }
    return 0;
}

const char kDiagnosticsIni[] = "[General]\r\n"
                               "FixExecutionBloodDecals=1\r\n"
                               "PatchBloodDecalColorAndAlpha=0\r\n"
                               "FixStaleDamageMapDecals=0\r\n"
                               "[Logging]\r\n"
                               "EnableLogging=1\r\n"
                               "LogDamageMapDiagnostics=1\r\n"
                               "LogExecutionDecals=1\r\n";

// A fresh copy of the plug-in in a game folder of its own, made anew, started
// with the diagnostics and execution decal lines on.
bool StartPlugin(const std::wstring& name, std::wstring& folder) {
    const LoadedPlugin plugin = LoadFreshPlugin(name, kDiagnosticsIni, &folder);
    if (plugin.InitializeASI == nullptr) {
        std::fprintf(stderr, "cannot load the plug-in in %s\n", Utf8(folder).c_str());
        return false;
    }
    plugin.InitializeASI();
    return true;
}

constexpr unsigned kMaps = 100;      // room in the manager
constexpr unsigned kLoggedMaps = 64; // the plug-in logs the first 64 maps
constexpr unsigned kSlotsSearched = 8;
constexpr unsigned kSlotsUsed = 12; // some beyond the eight the plug-in searches

struct MapState {
    uint32_t owner = 0;
    uint32_t tex = 0;
    uint32_t tex2 = 0;
    uint8_t decals = 0;
    uint8_t rendered = 0;
    uint8_t flags = 0;

    bool operator==(const MapState& other) const {
        return owner == other.owner && tex == other.tex && tex2 == other.tex2 && decals == other.decals &&
               rendered == other.rendered && flags == other.flags;
    }
};

// A manager's state as this program sets it; slots hold map indices, -1 none.
struct ManagerState {
    uint16_t mapCount = 0;
    uint16_t renderedCount = 0;
    uint32_t cleanupTimer = 0;
    MapState maps[kMaps];
    int slots[kSlotsUsed] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

void Apply(const ManagerState& state, DamageManagerWorld& world) {
    for (unsigned i = 0; i < kMaps; ++i) {
        const MapState& map = state.maps[i];
        world.SetMap(i, map.owner, map.tex, map.tex2, map.decals, map.rendered, map.flags);
    }
    for (unsigned j = 0; j < kSlotsUsed; ++j) {
        world.SetSlot(j, state.slots[j] < 0 ? nullptr : world.Map(static_cast<unsigned>(state.slots[j])));
    }
    world.SetCounts(state.mapCount, state.renderedCount, state.cleanupTimer);
}

// What a block shows of a state: its counts, and the first 64 maps in use with
// the first of the first eight slots in use that holds each (-1 for none).
struct LoggedState {
    uint16_t mapCount;
    uint16_t renderedCount;
    uint32_t cleanupTimer;
    std::vector<std::pair<int, MapState>> maps;

    bool operator==(const LoggedState& other) const {
        return mapCount == other.mapCount && renderedCount == other.renderedCount &&
               cleanupTimer == other.cleanupTimer && maps == other.maps;
    }
};

LoggedState Logged(const ManagerState& state) {
    LoggedState logged{state.mapCount, state.renderedCount, state.cleanupTimer, {}};
    const unsigned searched = std::min<unsigned>(state.renderedCount, kSlotsSearched);
    for (unsigned i = 0; i < std::min<unsigned>(state.mapCount, kLoggedMaps); ++i) {
        int slot = -1;
        for (unsigned j = 0; j < searched && slot < 0; ++j) {
            slot = state.slots[j] == static_cast<int>(i) ? static_cast<int>(j) : -1;
        }
        logged.maps.emplace_back(slot, state.maps[i]);
    }
    return logged;
}

// The blocks the plug-in logs, predicted from the states set around each call of
// UpdateRenderMaps: one whenever the state differs from the last block.
class Diagnostics {
  public:
    explicit Diagnostics(std::string* output) : record(output) {}

    // One frame of the host's damage manager: before, as set; after, as the
    // stand-in's UpdateRenderMaps leaves it (after is before when it does nothing).
    // Returns the number of blocks it logs.
    int Frame(const ManagerState& before, const ManagerState& after) {
        Apply(before, world);
        pendingAfter = &after;
        currentWorld = &world;
        HostUpdateRenderMapsAction = [](void*) { Apply(*pendingAfter, *currentWorld); };
        CallWithSentinels(kHostDamageManagerFrame, AddressOf(world.Manager()));
        HostUpdateRenderMapsAction = nullptr;
        if (!CalleeSavedRegistersKept()) {
            std::fprintf(stderr, "the hook did not keep the caller's registers\n");
            std::exit(1);
        }
        return Note(before, false) + Note(after, true);
    }

    uint32_t Manager() { return AddressOf(world.Manager()); }

  private:
    int Note(const ManagerState& state, bool after) {
        LoggedState logged = Logged(state);
        if (last && *last == logged) {
            return 0;
        }
        if (record != nullptr) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "{\"block\":{\"after\":%s,\"manager\":%u,\"mapCount\":%u,\"renderedCount\":%u,"
                          "\"cleanupTimer\":%u,\"maps\":[",
                          after ? "true" : "false", Manager(), logged.mapCount, logged.renderedCount,
                          logged.cleanupTimer);
            *record += text;
            for (size_t i = 0; i < logged.maps.size(); ++i) {
                const auto& [slot, map] = logged.maps[i];
                char slotText[8] = "null";
                if (slot >= 0) {
                    std::snprintf(slotText, sizeof slotText, "%d", slot);
                }
                std::snprintf(text, sizeof text,
                              "%s{\"slot\":%s,\"owner\":%u,\"decals\":%u,\"rendered\":%u,\"flags\":%u}",
                              i == 0 ? "" : ",", slotText, map.owner, map.decals, map.rendered, map.flags);
                *record += text;
            }
            *record += "]}}\n";
        }
        last = std::move(logged);
        return 1;
    }

    static inline const ManagerState* pendingAfter = nullptr;
    static inline DamageManagerWorld* currentWorld = nullptr;
    DamageManagerWorld world;
    std::optional<LoggedState> last;
    std::string* record;
};

// splitmix64: the same states from the same seed on every machine.
struct Random {
    uint64_t state;

    uint32_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    unsigned Below(unsigned bound) { return Next() % bound; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
};

// Flags: each bit alone, the named ones combined, and every bit at once.
constexpr uint8_t kFlagValues[] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40,
                                   0x80, 0x03, 0x05, 0x06, 0x07, 0x81, 0xFF};

// Owners from a small pool, so that they come back; a quarter of them none (0).
uint32_t SomeOwner(Random& random) {
    return random.Chance(25) ? 0 : 0x0A000040u + random.Below(16) * 0x2E40u;
}

uint8_t SomeCount(Random& random) {
    const unsigned kind = random.Below(6);
    return static_cast<uint8_t>(kind == 0 ? 0 : kind == 1 ? 255 : random.Below(256));
}

// Mostly a map that the block shows; now and then one past the first 64 or
// past mapCount, whose change shows nothing.
unsigned SomeMap(const ManagerState& state, Random& random) {
    const unsigned shown = std::min<unsigned>(state.mapCount, kLoggedMaps);
    return shown > 0 && random.Chance(90) ? random.Below(shown) : random.Below(kMaps);
}

void Change(ManagerState& state, Random& random, int depth = 0) {
    switch (random.Below(depth == 0 ? 11 : 10)) {
    case 0:
    case 1: // a map taken by another owner, freed, or given its first
        for (unsigned n = 1 + random.Below(3); n > 0; --n) {
            MapState& map = state.maps[SomeMap(state, random)];
            map.owner = SomeOwner(random);
            if (random.Chance(50)) {
                map.decals = 0;
                map.rendered = 0;
                map.flags = static_cast<uint8_t>(map.flags | 0x01);
            }
        }
        break;
    case 2:
        for (unsigned n = 1 + random.Below(3); n > 0; --n) {
            MapState& map = state.maps[SomeMap(state, random)];
            map.decals = SomeCount(random);
            map.rendered = SomeCount(random);
        }
        break;
    case 3:
        for (unsigned n = 1 + random.Below(3); n > 0; --n) {
            state.maps[SomeMap(state, random)].flags = kFlagValues[random.Below(sizeof kFlagValues)];
        }
        break;
    case 4:
        state.slots[random.Below(kSlotsUsed)] =
            random.Chance(20) ? -1 : static_cast<int>(SomeMap(state, random));
        break;
    case 5:
        state.renderedCount = static_cast<uint16_t>(random.Chance(85) ? random.Below(13) : random.Next());
        break;
    case 6: {
        const uint16_t counts[] = {0, 1, 63, 64, 65, 100};
        state.mapCount =
            random.Chance(40) ? counts[random.Below(6)] : static_cast<uint16_t>(random.Below(101));
        break;
    }
    case 7: {
        const uint32_t timers[] = {state.cleanupTimer + 1, state.cleanupTimer - 1, 0, 0xFFFFFFFFu,
                                   random.Next()};
        state.cleanupTimer = timers[random.Below(5)];
        break;
    }
    case 8: {
        MapState& map = state.maps[SomeMap(state, random)];
        (random.Chance(50) ? map.tex : map.tex2) = random.Chance(20) ? 0 : random.Next();
        break;
    }
    case 9: // what the host's update does to the maps it draws
        for (unsigned i = 0; i < kMaps; ++i) {
            if (state.maps[i].flags & 0x01) {
                state.maps[i].flags = static_cast<uint8_t>(state.maps[i].flags & ~0x01);
                state.maps[i].rendered = static_cast<uint8_t>(state.maps[i].rendered + 1);
            }
        }
        break;
    default: // several at once
        for (unsigned n = 2 + random.Below(3); n > 0; --n) {
            Change(state, random, depth + 1);
        }
        break;
    }
}

// A first state that shows each flag value, the counts' extremes and slots
// beyond the eight searched.
ManagerState FirstState(Random& random) {
    ManagerState state;
    state.mapCount = 100;
    state.renderedCount = 12;
    state.cleanupTimer = 300;
    for (unsigned i = 0; i < kMaps; ++i) {
        MapState& map = state.maps[i];
        map.owner = i % 7 == 6 ? 0 : SomeOwner(random);
        map.tex = map.owner == 0 ? 0 : map.owner + 0x100;
        map.tex2 = i % 3 == 0 && map.tex != 0 ? map.tex + 0x40 : 0;
        map.decals = i == 0 ? 255 : SomeCount(random);
        map.rendered = i == 1 ? 255 : SomeCount(random);
        map.flags = kFlagValues[i % sizeof kFlagValues];
    }
    for (unsigned j = 0; j < kSlotsUsed; ++j) {
        state.slots[j] = j % 4 == 3 ? -1 : static_cast<int>(j * 3);
    }
    return state;
}

// The execution decals of one update: victims on the victim, splatters on the
// player, each due, with names short and filling their 20-character field.
class Executions {
  public:
    Executions() {
        world.SetInteractive(0);
        world.BindAnimationToController();
    }

    // Logs victims victim lines, then splatters splatter lines.
    void Update(Random& random, unsigned victims, unsigned splatters) {
        world.MakeCurrent();
        const int index = static_cast<int>(random.Below(40));
        const int id = index + 46;
        const int stage = static_cast<int>(random.Below(4));
        world.SetExecutionIndex(index);
        HostReturns.ExecutionStage = stage;
        const bool extreme = random.Chance(15); // the longest numbers %.3f prints
        const float animation = extreme ? 3.0e38f : 0.5f + static_cast<float>(random.Below(2000)) / 1000;
        world.SetAnimationTime(animation);
        world.ResetIndices();
        for (const auto& [list, count] :
             {std::pair{DecalList::Victim, victims}, std::pair{DecalList::Splatter, splatters}}) {
            world.SetCount(list, id, stage, count);
            for (unsigned k = 0; k < count; ++k) {
                const float time = extreme ? -3.0e38f : static_cast<float>(random.Below(500)) / 1000;
                const float x = extreme ? -3.4e38f : static_cast<float>(random.Below(2001)) / 1000 - 1;
                const float y = extreme ? 3.4e38f : static_cast<float>(random.Below(2001)) / 1000 - 1;
                world.SetEntry(list, id, stage, static_cast<int>(k), time, x, y, "");
                Name(random, world.Entry(list, id, stage, static_cast<int>(k)) + kDecalEntryTexture);
            }
        }
        CallWithSentinels(kHostExecutionUpdate, AddressOf(world.player));
    }

  private:
    // A short name, or one that fills the field with no NUL of its own.
    static void Name(Random& random, uint8_t* field) {
        static const char* const kShort[] = {"blood",       "neck_spurt", "chest_slash",
                                             "ground_pool", "b%d%s_3",    "x"};
        static const char kCharacters[] = "abcdefghijklmnopqrstuvwxyz_0123456789-.%";
        std::memset(field, 0, kDecalEntryX - kDecalEntryTexture);
        if (random.Chance(50)) {
            const char* name = kShort[random.Below(sizeof kShort / sizeof *kShort)];
            std::memcpy(field, name, std::strlen(name));
            return;
        }
        for (uint32_t i = 0; i < kDecalEntryX - kDecalEntryTexture; ++i) {
            field[i] = static_cast<uint8_t>(kCharacters[random.Below(sizeof kCharacters - 1)]);
        }
    }

    ExecutionWorld world;
};

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

// The log's lines (after their time stamps) that begin with prefix.
size_t CountEntries(const std::string& log, const char* prefix) {
    size_t count = 0;
    for (const std::string& entry : LogEntries(log)) {
        count += entry.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

int GeneratedDiagnostics(const std::wstring& seedArgument) {
    constexpr uint64_t kLogBytes = 8u << 20;
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::wstring folder;
    if (!StartPlugin(L"generated", folder)) {
        return 1;
    }
    HostJournalEnabled = false;
    Random random{std::wcstoull(seedArgument.c_str(), nullptr, 10)};
    std::string record;
    Diagnostics diagnostics(&record);
    Executions executions;
    size_t blocks = 0;
    size_t executionLines = 0;

    ManagerState state;
    state.cleanupTimer = 300;
    blocks += diagnostics.Frame(state, state); // mapCount 0: the header alone
    state = FirstState(random);
    blocks += diagnostics.Frame(state, state);
    const std::wstring log = folder + L"Crimsel.log";
    while (FileSize(log) <= kLogBytes) {
        if (random.Chance(90)) {
            Change(state, random);
        }
        ManagerState after = state;
        if (random.Chance(35)) {
            Change(after, random);
        }
        blocks += diagnostics.Frame(state, after);
        state = after;
        if (random.Chance(20)) {
            const unsigned victims = random.Below(4);
            const unsigned splatters = victims == 0 ? 1 + random.Below(3) : random.Below(4);
            executions.Update(random, victims, splatters);
            for (unsigned i = 0; i < victims + splatters; ++i) {
                record += i < victims ? "{\"execution\":{\"splatter\":false}}\n"
                                      : "{\"execution\":{\"splatter\":true}}\n";
            }
            executionLines += victims + splatters;
        }
    }
    if (!WriteFileBytes(folder + L"record.jsonl", record)) {
        std::fprintf(stderr, "cannot write the record\n");
        return 1;
    }
    // What the plug-in wrote is counted, never read for values: the record is what was set.
    const std::string written = ReadFileBytes(log);
    const size_t loggedBlocks = CountEntries(written, "DamageMapState ");
    const size_t loggedExecutions = CountEntries(written, "Execution ");
    if (loggedBlocks != blocks || loggedExecutions != executionLines) {
        std::fprintf(stderr, "the log holds %u blocks and %u execution lines, the record %u and %u\n",
                     static_cast<unsigned>(loggedBlocks), static_cast<unsigned>(loggedExecutions),
                     static_cast<unsigned>(blocks), static_cast<unsigned>(executionLines));
        return 1;
    }
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    std::printf("{\"folder\":\"%s\",\"blocks\":%u,\"executions\":%u,\"bytes\":%u,\"seconds\":%.2f}\n",
                Slashed(folder).c_str(), static_cast<unsigned>(blocks), static_cast<unsigned>(executionLines),
                static_cast<unsigned>(written.size()),
                static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return 0;
}

// Two owners, A and B, of the events' maps.
constexpr uint32_t kOwnerA = 0x0B0A0040;
constexpr uint32_t kOwnerB = 0x0B0B0080;

struct EventScenario {
    const char* name;
    std::vector<ManagerState> states; // one block each, all before UpdateRenderMaps
};

// Three maps in use, none in a slot, unless the scenario says otherwise.
std::vector<EventScenario> EventScenarios() {
    ManagerState base;
    base.mapCount = 3;
    base.cleanupTimer = 100;
    const auto with = [&](auto change) {
        ManagerState state = base;
        change(state);
        return state;
    };
    return {
        {"owner-freed",
         {with([](ManagerState& s) { s.maps[0] = {kOwnerA, 0, 0, 3, 0, 0}; }),
          with([](ManagerState& s) { s.maps[0] = {0, 0, 0, 3, 0, 0}; })}},
        {"owner-from-none",
         {with([](ManagerState& s) { s.maps[0] = {0, 0, 0, 0, 0, 0}; }),
          with([](ManagerState& s) { s.maps[0] = {kOwnerB, 0, 0, 0, 0, 0}; })}},
        {"taken-with-decals",
         {with([](ManagerState& s) { s.maps[0] = {kOwnerA, 0, 0, 5, 0, 0}; }),
          with([](ManagerState& s) { s.maps[0] = {kOwnerB, 0, 0, 5, 0, 0}; })}},
        {"needs-clear",
         {with([](ManagerState& s) { s.maps[1].flags = 0; }),
          with([](ManagerState& s) { s.maps[1].flags = 0x01; }),
          with([](ManagerState& s) { s.maps[1].flags = 0; })}},
        {"inactive", {with([](ManagerState& s) { s.maps[2].flags = 0; }), with([](ManagerState& s) {
                          s.maps[2].flags = 0x04;
                      })}},
        {"counts",
         {with([](ManagerState& s) {
              s.mapCount = 2;
              s.renderedCount = 1;
          }),
          with([](ManagerState& s) {
              s.mapCount = 3;
              s.renderedCount = 2;
          })}},
    };
}

int Events() {
    for (const EventScenario& scenario : EventScenarios()) {
        std::wstring game;
        if (!StartPlugin(L"event-" + Wide(scenario.name), game)) {
            return 1;
        }
        Diagnostics diagnostics(nullptr);
        int blocks = 0;
        for (const ManagerState& state : scenario.states) {
            blocks += diagnostics.Frame(state, state);
        }
        if (blocks != static_cast<int>(scenario.states.size()) ||
            CountEntries(ReadFileBytes(game + L"Crimsel.log"), "DamageMapState ") != scenario.states.size()) {
            std::fprintf(stderr, "%s: not one block per state\n", scenario.name);
            return 1;
        }
        std::printf("{\"name\":\"%s\",\"folder\":\"%s\"}\n", scenario.name, Slashed(game).c_str());
    }
    return 0;
}

// A long quiet log: 20,000 blocks that differ in their cleanup timer, now and
// then a needsClear raised or cleared, and one execution decal halfway.
int Quiet() {
    std::wstring folder;
    if (!StartPlugin(L"quiet", folder)) {
        return 1;
    }
    HostJournalEnabled = false;
    Random random{20261208};
    Diagnostics diagnostics(nullptr);
    Executions executions;
    ManagerState state;
    state.mapCount = 1;
    int blocks = 0;
    for (uint32_t frame = 0; frame < 20000; ++frame) {
        state.cleanupTimer = frame;
        state.maps[0].flags = frame / 40 % 2 == 0 ? 0 : 0x01;
        blocks += diagnostics.Frame(state, state);
        if (frame == 10000) {
            executions.Update(random, 1, 0);
        }
    }
    PrintFolder(folder);
    return blocks == 20000 ? 0 : 1;
}

// No start of the plug-in writes a message this long today, but its logger
// cuts any message there: the page must still understand such a line.
int Longest() {
    const std::string tail(2000, 'x');
    StartLog(true);
    LogMessage("InitializeASI stopped by an error: %s", tail.c_str());
    LogMessage("Vorlaine.Crimsel.ini left as it is: %s", tail.c_str());
    LogMessage("Execution victim decal: player=%p victim=%p execId=%d stage=%d index=%u/%u time=%.3f "
               "animTime=%.3f pos=(%.3f, %.3f) texture=%s",
               nullptr, nullptr, 46, 0, 0u, 1u, 0.5, 0.75, 1.0, 2.0, tail.c_str());
    size_t cut = 0;
    for (const std::string& entry : LogEntries(ReadFileBytes(ExecutableDirectory() + L"Crimsel.log"))) {
        cut += entry.size() == 1023 ? 1 : 0;
    }
    PrintFolder(ExecutableDirectory());
    return cut == 3 ? 0 : 1;
}

// The arguments as Windows gives them, whole: a narrow argv holds only what
// the ANSI code page can spell.
std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(wide, wide + (wide == nullptr ? 0 : count));
    LocalFree(wide);
    return arguments;
}

} // namespace

int main() {
    const std::vector<std::wstring> arguments = Arguments();
    const std::wstring mode = arguments.size() > 1 ? arguments[1] : L"";
    const std::vector<std::wstring> rest(arguments.begin() + std::min<size_t>(arguments.size(), 2),
                                         arguments.end());
    if (mode == L"settings") {
        return Settings(rest);
    }
    if (mode == L"template" && rest.size() == 1) {
        return Template(rest[0]);
    }
    if (mode == L"logs") {
        return Logs();
    }
    if (mode == L"pixels") {
        return Pixels(rest);
    }
    if (mode == L"diagnostics" && rest.size() == 1) {
        return GeneratedDiagnostics(rest[0]);
    }
    if (mode == L"events") {
        return Events();
    }
    if (mode == L"longest") {
        return Longest();
    }
    if (mode == L"quiet") {
        return Quiet();
    }
    std::fprintf(stderr, "usage: page_reference settings <ini | @list>... | template <ini> | logs | "
                         "pixels <AARRGGBB>... | diagnostics <seed> | events | longest | quiet\n");
    return 2;
}
