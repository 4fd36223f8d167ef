// Benchmarks of the real plug-in in the stand-in host. Settings are per
// process, so each scenario runs in a process of its own:
//   crimsel_bench.exe diagnostics-on | diagnostics-off
#include "HostFunctions.h"
#include "Measure.h"
#include "StandInHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kUpdateRenderMaps = 0x005BAD70;
constexpr uint32_t kManagerFrame = 0x005BB160;
constexpr uint32_t kMaps = 0x24;
constexpr uint32_t kMapStride = 0x2E0;
constexpr uint32_t kActiveSlots = 0x11FA4;
constexpr uint32_t kMapCount = 0x12328;
constexpr uint32_t kRenderedCount = 0x1232A;
constexpr uint32_t kManagerSize = 0x12330;

#pragma GCC diagnostic ignored "-Wattributes"
using ThiscallNoArguments = void(__thiscall*)(void* object);

template <typename T> void Put(uint8_t* object, uint32_t offset, T value) {
    std::memcpy(object + offset, &value, sizeof value);
}

bool StartPlugin(const std::wstring& name, const std::string& ini) {
    const std::wstring folder = CreateGameFolder(name);
    WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", ini);
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.InitializeASI == nullptr) {
        std::fprintf(stderr, "the plug-in could not be loaded\n");
        return false;
    }
    plugin.InitializeASI();
    return true;
}

// A manager with 64 maps in use, the first eight in the active slots.
std::vector<uint8_t> SixtyFourMaps() {
    std::vector<uint8_t> manager(kManagerSize);
    for (uint32_t i = 0; i < 64; ++i) {
        uint8_t* map = manager.data() + kMaps + i * kMapStride;
        Put(map, 0x2D0, 0x1000 + i);
        Put(map, 0x2D4, 0x2000 + i);
        Put(map, 0x2DC, static_cast<uint8_t>(i));
        Put(map, 0x2DE, static_cast<uint8_t>(i & 7));
        if (i < 8) {
            Put(manager.data(), kActiveSlots + i * 4,
                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(map)));
        }
    }
    Put(manager.data(), kMapCount, uint16_t{64});
    Put(manager.data(), kRenderedCount, uint16_t{8});
    return manager;
}

void Row(const char* what, double hook, double baseline) {
    std::printf("%-58s %9.1f ns %9.1f ns %7.2f %+9.1f ns\n", what, hook, baseline, hook / baseline,
                hook - baseline);
}

int Diagnostics(bool logging) {
    if (!StartPlugin(logging ? L"bench-diagnostics-on" : L"bench-diagnostics-off",
                     std::string("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n"
                                 "[Logging]\r\nLogDamageMapDiagnostics=1\r\nEnableLogging=") +
                         (logging ? "1" : "0") + "\r\n")) {
        return 1;
    }
    HostJournalEnabled = false;
    std::vector<uint8_t> manager = SixtyFourMaps();
    volatile ThiscallNoArguments direct = reinterpret_cast<ThiscallNoArguments>(kUpdateRenderMaps);
    volatile ThiscallNoArguments frame = reinterpret_cast<ThiscallNoArguments>(kManagerFrame);
    frame(manager.data()); // the first call logs the one block
    const double hook = NanosecondsPerCall([&] { frame(manager.data()); });
    const double baseline = NanosecondsPerCall([&] { direct(manager.data()); });
    Row(logging ? "diagnostics hook, logging on, 64 maps unchanged" : "diagnostics hook, logging off", hook,
        baseline);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "";
    if (scenario == "header") {
        std::printf("%-58s %12s %12s %7s %12s\n", "scenario", "hook", "baseline", "ratio", "difference");
        return 0;
    }
    if (scenario == "diagnostics-on") {
        return Diagnostics(true);
    }
    if (scenario == "diagnostics-off") {
        return Diagnostics(false);
    }
    std::fprintf(stderr, "usage: crimsel_bench.exe header|diagnostics-on|diagnostics-off\n");
    return 2;
}
