// Benchmarks of the real plug-in in the stand-in host, each against a baseline
// measured in the same process. Settings are per process, so each scenario runs
// in a process of its own: crimsel_bench.exe <scenario>; scripts/bench.sh runs
// them all.
#include "HostFunctions.h"
#include "HostWorld.h"
#include "Measure.h"
#include "StandInHost.h"
#include "log/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <psapi.h>
#include <string>
#include <thread>
#include <vector>

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"

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

using HostGetter = void*(__thiscall*)(void* object);
using HostDecal = void(__thiscall*)(void* manager, void* character, float x, float y, const char* texture,
                                    int32_t zero);
using HostNoArguments = void* (*)();

// The host calls the execution hook makes on its way to the decal walk, and nothing else.
void __thiscall SameHostCalls(void* player) {
    volatile HostGetter tables = reinterpret_cast<HostGetter>(kGetExecutionDecalTables);
    volatile HostNoArguments manager = reinterpret_cast<HostNoArguments>(kGetDecalManager);
    volatile HostGetter stage = reinterpret_cast<HostGetter>(kGetExecutionStage);
    volatile HostGetter animation = reinterpret_cast<HostGetter>(kGetCurrentAnimation);
    tables(player);
    manager();
    stage(player);
    animation(static_cast<uint8_t*>(player) + kAnimationController);
}

bool CallsInto(uint32_t site, HMODULE module) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<const void*>(BranchTarget(site)), &info, sizeof info);
    return info.AllocationBase == module;
}

void __thiscall SameHostCallsAndOneDecal(void* player) {
    SameHostCalls(player);
    volatile HostDecal decal = reinterpret_cast<HostDecal>(kAddCharacterDecal);
    decal(HostReturns.DecalManager, player, 1.0f, 2.0f, "blood", 0);
}

int Execution(bool spawnOne) {
    if (!StartPlugin(spawnOne ? L"bench-execution-decal" : L"bench-execution-idle",
                     "[General]\r\nFixExecutionBloodDecals=1\r\nFixStaleDamageMapDecals=0\r\n"
                     "[Logging]\r\nEnableLogging=0\r\nLogExecutionDecals=1\r\n")) {
        return 1;
    }
    HostJournalEnabled = false;
    ExecutionWorld world;
    world.SetExecutionIndex(10);
    HostReturns.ExecutionStage = 1;
    world.SetEntry(DecalList::Victim, 56, 1, 0, spawnOne ? 0.0f : 100.0f, 1, 2, "blood");
    world.SetCount(DecalList::Victim, 56, 1, 1);
    world.SetAnimationTime(1.0f);
    volatile HostThiscall update = reinterpret_cast<HostThiscall>(kHostExecutionUpdate);
    const void* baseline = spawnOne ? reinterpret_cast<const void*>(&SameHostCallsAndOneDecal)
                                    : reinterpret_cast<const void*>(&SameHostCalls);
    const uint8_t* site = reinterpret_cast<const uint8_t*>(kExecutionUpdateCall);
    const std::vector<uint8_t> hookCall(site, site + 5);
    const std::vector<uint8_t> baselineCall = Branch(0xE8, kExecutionUpdateCall, AddressOf(baseline));
    // Both run from the host's own execution update call, batch by batch in turn so
    // that the machine's drift touches both alike, and set the counter back as
    // the host does for a new execution.
    std::vector<double> hooks;
    std::vector<double> sames;
    for (int sample = 0; sample < 41; ++sample) {
        const auto batch = [&] {
            return NanosecondsPerCall(
                [&] {
                    world.ResetIndices();
                    update(world.player);
                },
                20000, 1);
        };
        hooks.push_back(batch());
        WriteHostCode(kExecutionUpdateCall, baselineCall);
        sames.push_back(batch());
        WriteHostCode(kExecutionUpdateCall, hookCall);
    }
    std::sort(hooks.begin(), hooks.end());
    std::sort(sames.begin(), sames.end());
    const double hook = hooks[hooks.size() / 2];
    const double same = sames[sames.size() / 2];
    update(world.player);
    if (world.VictimIndex() != (spawnOne ? 1u : 0u)) {
        std::fprintf(stderr, "the hook did not do what the scenario needs\n");
        return 1;
    }
    Row(spawnOne ? "execution hook, one decal per call, logging off" : "execution hook, nothing due", hook,
        same);
    return 0;
}

void NoOperation(const char*, ...) {}

int LogMessageOff() {
    volatile decltype(&LogMessage) log = &LogMessage;
    volatile decltype(&NoOperation) empty = &NoOperation;
    const double off = NanosecondsPerCall([&] { log("player=%p index=%u", nullptr, 3u); }, 1000000);
    const double call = NanosecondsPerCall([&] { empty("player=%p index=%u", nullptr, 3u); }, 1000000);
    Row("LogMessage, logging off (baseline: an empty call)", off, call);
    return 0;
}

int LogMessageOn() {
    StartLog(true);
    for (int threads : {1, 4}) {
        constexpr int kLines = 20000;
        const double seconds = SecondsOf([threads] {
            std::vector<std::thread> writers;
            for (int t = 0; t < threads; ++t) {
                writers.emplace_back([threads, t] {
                    for (int i = 0; i < kLines / threads; ++i) {
                        LogMessage("Execution victim decal: player=%p execId=%d stage=%d index=%u/%u",
                                   nullptr, t, 1, static_cast<unsigned>(i), 25u);
                    }
                });
            }
            for (std::thread& writer : writers) {
                writer.join();
            }
        });
        std::printf("%-58s %9.0f lines/s\n",
                    threads == 1 ? "LogMessage, logging on, 1 thread" : "LogMessage, logging on, 4 threads",
                    kLines / seconds);
    }
    DeleteFileW(LogFilePath.c_str());
    return 0;
}

const char kOldIni[] = "[General]\r\nFixExecutionBloodDecals=1\r\nPatchBloodDecalColorAndAlpha=1\r\n"
                       "FixStaleDamageMapDecals=1\r\n\r\n[BloodDecal]\r\nRed=200\r\nGreen=10\r\nBlue=10\r\n"
                       "Alpha=255\r\n\r\n[Logging]\r\nEnableLogging=1\r\nLogDamageMapDiagnostics=1\r\n"
                       "LogExecutionDecals=1\r\n";

// An old INI once completed by the plug-in: credits and comments in place.
std::string CompleteIni() {
    const std::wstring folder = CreateGameFolder(L"bench-startup-complete");
    WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", kOldIni);
    const LoadedPlugin plugin = LoadPlugin(folder);
    if (plugin.InitializeASI != nullptr) {
        plugin.InitializeASI();
    }
    return ReadFileBytes(folder + L"Vorlaine.Crimsel.ini");
}

// Each start-up is a copy of the plug-in in a game folder of its own, loaded
// and started as the ASI loader does: its own statics, its own INI. The host's
// code is put back before each, so that every copy finds the game's own calls
// rather than the hooks of the copy before it.
int StartUp() {
    const std::vector<uint8_t> pristine = CopyHostCode();
    const std::string complete = CompleteIni();
    struct Variant {
        const char* name;
        const char* ini;
    };
    const Variant variants[] = {{"InitializeASI, all features on, complete INI", complete.c_str()},
                                {"InitializeASI, all features on, old INI needing comments", kOldIni},
                                {"InitializeASI, no INI (template written; defaults)", nullptr}};
    int variantIndex = 0;
    for (const Variant& variant : variants) {
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            const std::wstring folder = CreateGameFolder(L"bench-startup-" + std::to_wstring(variantIndex) +
                                                         L"-" + std::to_wstring(i));
            if (variant.ini != nullptr) {
                WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", variant.ini);
            }
            WriteHostCode(AddressOf(HostCodeStart), pristine);
            LoadedPlugin plugin{};
            times.push_back(SecondsOf([&] {
                                plugin = LoadPlugin(folder);
                                if (plugin.InitializeASI != nullptr) {
                                    plugin.InitializeASI();
                                }
                            }) *
                            1e3);
            if (!CallsInto(kExecutionUpdateCall, plugin.Module)) {
                std::fprintf(stderr, "a start-up did not take the game's own call\n");
                return 1;
            }
        }
        std::sort(times.begin(), times.end());
        std::printf("%-58s %9.2f ms (load and start, median of 15)\n", variant.name, times[times.size() / 2]);
        ++variantIndex;
    }
    return 0;
}

// A 45 MB INI (15 million comment lines) in one start-up: how long it holds
// the game, and how far its peak of resident memory rises above what the
// process held before.
int StartUpWithHugeIni() {
    const std::wstring folder = CreateGameFolder(L"bench-startup-45mb");
    std::string ini = "[Logging]\r\nEnableLogging=0\r\n";
    ini.reserve(45000000);
    while (ini.size() < 45000000) {
        ini += "#\r\n";
    }
    WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", ini);
    ini = std::string();
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const double before = static_cast<double>(memory.WorkingSetSize);
    const double seconds = SecondsOf([&] {
        const LoadedPlugin plugin = LoadPlugin(folder);
        if (plugin.InitializeASI != nullptr) {
            plugin.InitializeASI();
        }
    });
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("%-58s %9.2f s, peak %.0f MB above the process's own\n",
                "InitializeASI, 45 MB INI (15 million comment lines)", seconds,
                (static_cast<double>(memory.PeakWorkingSetSize) - before) / 1e6);
    return 0;
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
    volatile HostThiscall direct = reinterpret_cast<HostThiscall>(kUpdateRenderMaps);
    volatile HostThiscall frame = reinterpret_cast<HostThiscall>(kHostDamageManagerFrame);
    frame(manager); // the first call logs the one block
    const double hook = NanosecondsPerCall([&] { frame(manager); });
    const double baseline = NanosecondsPerCall([&] { direct(manager); });
    Row(logging ? "diagnostics hook, logging on, 64 maps unchanged" : "diagnostics hook, logging off", hook,
        baseline);
    return 0;
}

} // namespace

// Like every program of the project, it takes its arguments in UTF-16, as
// Windows keeps a command line.
int wmain(int argc, wchar_t** argv) {
    const std::wstring scenario = argc > 1 ? argv[1] : L"";
    if (scenario == L"header") {
        std::printf("%-58s %12s %12s %7s %12s\n", "scenario", "hook", "baseline", "ratio", "difference");
        return 0;
    }
    if (scenario == L"diagnostics-on") {
        return Diagnostics(true);
    }
    if (scenario == L"diagnostics-off") {
        return Diagnostics(false);
    }
    if (scenario == L"execution-idle") {
        return Execution(false);
    }
    if (scenario == L"execution-decal") {
        return Execution(true);
    }
    if (scenario == L"logmessage-off") {
        return LogMessageOff();
    }
    if (scenario == L"logmessage-on") {
        return LogMessageOn();
    }
    if (scenario == L"startup") {
        return StartUp();
    }
    if (scenario == L"startup-45mb") {
        return StartUpWithHugeIni();
    }
    std::fprintf(stderr, "usage: crimsel_bench.exe header|execution-idle|execution-decal|diagnostics-on|"
                         "diagnostics-off|logmessage-off|logmessage-on|startup|startup-45mb\n");
    return 2;
}
#pragma GCC diagnostic pop
