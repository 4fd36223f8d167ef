// What the players' page must agree with, made by the plug-in and the stand-in
// in the test run and printed one JSON object a line:
//   settings <ini>...          the plug-in's own LoadSettings on a copy of each file
//   template <ini>             the file that a first start writes, copied to <ini>
//   logs                       the real plug-in started where it logs a rarer start-up
//                              line; the game folder of each start
//   pixels <AARRGGBB>...       the middle of a decal of each colour that the stand-in's
//                              Direct3D 9 device draws over each of the page's backgrounds,
//                              patched through the real plug-in and with the usual blend

#include "AddressSpaceReservation.h"
#include "Drawings.h"
#include "HostFiles.h"
#include "config/Settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

namespace {

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], size);
    return wide;
}

// LoadSettings reads the INI beside its own module, this program: each file in
// turn is copied there, read (and completed, as a start of the plug-in would),
// and removed with anything the completion left.
int Settings(int count, char** files) {
    const std::wstring folder = ExecutableDirectory();
    const std::wstring ini = folder + L"Vorlaine.Crimsel.ini";
    for (int i = 0; i < count; ++i) {
        const std::string bytes = ReadFileBytes(Wide(files[i]));
        if (!WriteFileBytes(ini, bytes)) {
            std::fprintf(stderr, "cannot write %ls\n", ini.c_str());
            return 1;
        }
        const PluginSettings s = LoadSettings();
        std::printf("{\"file\":%d,\"FixExecutionBloodDecals\":%d,\"PatchBloodDecalColorAndAlpha\":%d,"
                    "\"FixStaleDamageMapDecals\":%d,\"EnableLogging\":%d,\"LogDamageMapDiagnostics\":%d,"
                    "\"LogExecutionDecals\":%d,\"Red\":%u,\"Green\":%u,\"Blue\":%u,\"Alpha\":%u}\n",
                    i, s.FixExecutionBloodDecals, s.PatchBloodDecalColorAndAlpha, s.FixStaleDamageMapDecals,
                    s.EnableLogging, s.LogDamageMapDiagnostics, s.LogExecutionDecals, s.Red, s.Green, s.Blue,
                    s.Alpha);
        for (const wchar_t* suffix : {L"", L".rewrite", L".replaced"}) {
            DeleteFileW((ini + suffix).c_str());
        }
    }
    return 0;
}

int Template(const char* copy) {
    const std::wstring ini = ExecutableDirectory() + L"Vorlaine.Crimsel.ini";
    DeleteFileW(ini.c_str());
    LoadSettings();
    const bool copied = CopyFileW(ini.c_str(), Wide(copy).c_str(), FALSE) != 0;
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

void PrintFolder(std::wstring folder) {
    std::replace(folder.begin(), folder.end(), L'\\', L'/');
    std::printf("{\"folder\":\"%ls\"}\n", folder.c_str());
}

// With the address space reserved, the heap's own free blocks of 4 KiB and
// more, so that no buffer of a long path can be had; small ones stay.
std::vector<void*> TakeLargeBlocks() {
    std::vector<void*> taken;
    taken.reserve(1 << 16);
    for (size_t size = 1 << 16; size >= 4096; size /= 2) {
        for (void* block; taken.size() < taken.capacity() && (block = std::malloc(size)) != nullptr;) {
            taken.push_back(block);
        }
    }
    return taken;
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
    {
        const AddressSpaceReservation reservation;
        const std::vector<void*> taken = TakeLargeBlocks();
        plugin.InitializeASI();
        for (void* block : taken) {
            std::free(block);
        }
    }
    PrintFolder(starved);
    return 0;
}

// The page's backgrounds, ARGB: the stand-in's skin tone, black and white.
const std::vector<uint32_t> kBackgrounds = {kSkin, 0xFF000000, 0xFFFFFFFF};

int Pixels(int count, char** colours) {
    PristineHostCode();
    std::string failure;
    if (!StartRenderer(failure)) {
        std::fprintf(stderr, "no Direct3D 9 device: %s\n", failure.c_str());
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const uint32_t colour = static_cast<uint32_t>(std::strtoul(colours[i], nullptr, 16));
        const std::vector<BlendedPixel> pixels = DrawDecalBlends(colour, kBackgrounds);
        for (size_t b = 0; b < kBackgrounds.size(); ++b) {
            std::printf("{\"colour\":%u,\"background\":%u,\"patched\":%u,\"usual\":%u}\n", colour,
                        kBackgrounds[b], pixels[b].patched, pixels[b].usual);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "settings") == 0) {
        return Settings(argc - 2, argv + 2);
    }
    if (argc > 2 && std::strcmp(argv[1], "template") == 0) {
        return Template(argv[2]);
    }
    if (argc > 1 && std::strcmp(argv[1], "logs") == 0) {
        return Logs();
    }
    if (argc > 1 && std::strcmp(argv[1], "pixels") == 0) {
        return Pixels(argc - 2, argv + 2);
    }
    std::fprintf(stderr,
                 "usage: page_reference settings <ini>... | template <ini> | logs | pixels <AARRGGBB>...\n");
    return 2;
}
