// Benchmarks of the real plug-in in the stand-in host. Settings are per
// process, so each scenario runs in a process of its own:
//   crimsel_bench.exe diagnostics-on | diagnostics-off
#include "HostFunctions.h"
#include "HostWorld.h"
#include "Measure.h"
#include "StandInHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

#pragma GCC diagnostic ignored "-Wattributes"
using ThiscallNoArguments = void(__thiscall*)(void* object);

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
void SixtyFourMaps(DamageManagerWorld& world) {
    for (uint32_t i = 0; i < 64; ++i) {
        world.SetMap(i, 0x1000 + i, 0x2000 + i, 0, static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i & 7));
        if (i < 8) {
            world.SetSlot(i, world.Map(i));
        }
    }
    world.SetCounts(64, 8, 0);
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
    DamageManagerWorld world;
    SixtyFourMaps(world);
    uint8_t* manager = world.Manager();
    volatile ThiscallNoArguments direct = reinterpret_cast<ThiscallNoArguments>(kHostUpdateRenderMaps);
    volatile ThiscallNoArguments frame = reinterpret_cast<ThiscallNoArguments>(kHostDamageManagerFrame);
    frame(manager); // the first call logs the one block
    const double hook = NanosecondsPerCall([&] { frame(manager); });
    const double baseline = NanosecondsPerCall([&] { direct(manager); });
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
