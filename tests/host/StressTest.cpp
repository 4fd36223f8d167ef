// The plug-in under load and faults: many threads through the patched call, a log
// that disappears or is locked, a game folder that cannot be written, start-up twice.
#include "HostWorld.h"
#include "PluginScenario.h"

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <thread>

namespace {

#pragma GCC diagnostic push
const char kLoggingIni[] = "[General]\r\n"
                           "FixExecutionBloodDecals=1\r\n"
                           "PatchBloodDecalColorAndAlpha=1\r\n"
                           "FixStaleDamageMapDecals=1\r\n"
                           "[Logging]\r\n"
                           "EnableLogging=1\r\n"
                           "LogDamageMapDiagnostics=1\r\n"
                           "LogExecutionDecals=1\r\n";

using StressTest = PluginScenario;

// Execution 46, stage 1, with a victim list of the given due times and textures.
void VictimList(ExecutionWorld& world, std::initializer_list<std::pair<float, const char*>> entries) {
    world.SetExecutionIndex(0);
    HostReturns.ExecutionStage = 1;
    int k = 0;
    for (const auto& entry : entries) {
        world.SetEntry(DecalList::Victim, 46, 1, k++, entry.first, 0, 0, entry.second);
    }
    world.SetCount(DecalList::Victim, 46, 1, static_cast<uint32_t>(k));
}

// One update of the player's execution by the host; thread-safe, unlike CallWithSentinels.
void Update(uint8_t* player) {
    volatile HostThiscall update = reinterpret_cast<HostThiscall>(kHostExecutionUpdate);
    update(player);
}

// One world per thread, each with its own execution id (46 + thread), all
// sharing the first world's decal tables.
std::vector<std::unique_ptr<ExecutionWorld>> WorldsPerThread(int threads) {
    std::vector<std::unique_ptr<ExecutionWorld>> worlds;
    for (int t = 0; t < threads; ++t) {
        worlds.push_back(std::make_unique<ExecutionWorld>());
    }
    worlds[0]->MakeCurrent();
    HostReturns.ExecutionStage = 1;
    for (int t = 0; t < threads; ++t) {
        worlds[static_cast<size_t>(t)]->SetExecutionIndex(t);
        worlds[static_cast<size_t>(t)]->BindAnimationToController();
    }
    return worlds;
}

} // namespace

TEST_F(StressTest, EightThreadsSpawnAndLogEveryDecalExactlyOnce) {
    constexpr int kThreads = 8;
    constexpr int kEntries = 10;     // per list and execution
    constexpr int kExecutions = 250; // 2 lists x 10 entries x 250 = 5,000 decals a thread
    const std::vector<std::unique_ptr<ExecutionWorld>> worlds = WorldsPerThread(kThreads);
    ExecutionWorld& shared = *worlds[0];
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kEntries; ++k) {
            shared.SetEntry(DecalList::Victim, 46 + t, 1, k, 0.1f * static_cast<float>(k), 1, 2, "victim");
            shared.SetEntry(DecalList::Splatter, 46 + t, 1, k, 0.1f * static_cast<float>(k) + 0.05f, 3, 4,
                            "splat");
        }
        shared.SetCount(DecalList::Victim, 46 + t, 1, kEntries);
        shared.SetCount(DecalList::Splatter, 46 + t, 1, kEntries);
    }
    WriteIni(kLoggingIni);
    StartPlugin();
    ClearHostJournal();

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ExecutionWorld& world = *worlds[static_cast<size_t>(t)];
            for (int e = 0; e < kExecutions; ++e) {
                world.ResetIndices(); // the host sets the counters back for a new execution
                for (float time : {0.25f, 0.5f, 0.75f, 1.0f}) {
                    world.SetAnimationTime(time);
                    Update(world.player);
                }
                EXPECT_EQ(world.VictimIndex(), static_cast<uint32_t>(kEntries));
                EXPECT_EQ(world.SplatterIndex(), static_cast<uint32_t>(kEntries));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    // Every entry of every thread's two lists was spawned once per execution.
    std::map<std::pair<uint32_t, uint32_t>, int> spawned; // (character, entry address) -> count
    for (const HostCall& call : HostCallsOf(HostFunction::AddCharacterDecal)) {
        ++spawned[{call.Args[0], call.Args[3]}];
    }
    size_t decals = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kEntries; ++k) {
            const uint32_t victimEntry = AddressOf(shared.Entry(DecalList::Victim, 46 + t, 1, k) + 4);
            const uint32_t splatterEntry = AddressOf(shared.Entry(DecalList::Splatter, 46 + t, 1, k) + 4);
            EXPECT_EQ((spawned[{AddressOf(worlds[static_cast<size_t>(t)]->victim), victimEntry}]),
                      kExecutions);
            EXPECT_EQ((spawned[{AddressOf(worlds[static_cast<size_t>(t)]->player), splatterEntry}]),
                      kExecutions);
        }
    }
    for (const auto& entry : spawned) {
        decals += static_cast<size_t>(entry.second);
    }
    EXPECT_EQ(decals, static_cast<size_t>(kThreads * 2 * kEntries * kExecutions));

    // Every decal has one whole line: prefix, text, CR LF, nothing interleaved.
    static const std::regex decal(
        R"(Execution (victim|splatter) decal: player=([0-9A-F]{8}) (victim=[0-9A-F]{8} )?)"
        R"(execId=(\d+) stage=1 index=(\d+)/10 time=\d+\.\d{3} animTime=\d\.\d{3} )"
        R"(pos=\(\d\.000, \d\.000\) texture=(victim|splat))");
    std::map<std::string, int> linesPerPlayerEntry;
    size_t decalLines = 0;
    const std::vector<std::string> lines = Entries();
    for (const std::string& message : lines) {
        std::smatch parts;
        if (message.rfind("Execution ", 0) == 0) {
            ASSERT_TRUE(std::regex_match(message, parts, decal)) << message;
            ++decalLines;
            ++linesPerPlayerEntry[parts[1].str() + parts[2].str() + parts[5].str()];
        }
    }
    EXPECT_EQ(decalLines, decals);
    EXPECT_EQ(linesPerPlayerEntry.size(), static_cast<size_t>(kThreads * 2 * kEntries));
    for (const auto& entry : linesPerPlayerEntry) {
        EXPECT_EQ(entry.second, kExecutions) << entry.first;
    }
    std::printf("threads: %d, decals spawned: %u, decal lines logged: %u, log lines checked: %u\n", kThreads,
                static_cast<unsigned>(decals), static_cast<unsigned>(decalLines),
                static_cast<unsigned>(lines.size()));
}

TEST_F(StressTest, ADeletedLogIsCreatedAgainWithTheLaterLinesOnly) {
    ExecutionWorld world;
    VictimList(world, {{0.0f, "first"}, {1.0f, "second"}});
    WriteIni(kLoggingIni);
    StartPlugin();

    Update(world.player);
    ASSERT_NE(Log().find("texture=first"), std::string::npos);
    ASSERT_TRUE(DeleteFileW((folder + L"Crimsel.log").c_str()));
    world.SetAnimationTime(1.0f);
    Update(world.player);
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].find("index=1/2"), std::string::npos);
    EXPECT_NE(entries[0].find("texture=second"), std::string::npos);
    std::printf("log lines after the deletion: %u\n", static_cast<unsigned>(entries.size()));
}

TEST_F(StressTest, ALockedLogDropsLinesWithoutHangingAndResumesWhenFreed) {
    ExecutionWorld world;
    VictimList(world, {{0.0f, "blood"}, {1.0f, "blood"}, {2.0f, "blood"}});
    WriteIni(kLoggingIni);
    StartPlugin();
    const size_t before = Entries().size();

    // Another program holds the log without sharing it.
    HANDLE holder = CreateFileW((folder + L"Crimsel.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    world.SetAnimationTime(0.0f);
    Update(world.player);
    world.SetAnimationTime(1.0f);
    Update(world.player);
    CloseHandle(holder);
    EXPECT_EQ(world.VictimIndex(), 2u) << "decals are spawned while the log is locked";
    EXPECT_EQ(Entries().size(), before);

    world.SetAnimationTime(2.0f);
    Update(world.player);
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), before + 1);
    EXPECT_NE(entries.back().find("index=2/3"), std::string::npos);
    std::printf("lines dropped while locked: 2, lines written after: 1\n");
}

TEST_F(StressTest, AGameFolderThatCannotBeWrittenStartsWithTheDefaults) {
    // Made immutable by the test runner's set-up, with the plug-in inside.
    const std::wstring unwritable = ExecutableDirectory() + L"games\\unwritable\\";
    const std::wstring probe = unwritable + L"probe.txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_EQ(file, INVALID_HANDLE_VALUE) << "the folder should not be writable";

    StartPluginFrom(unwritable);

    ExpectOnlyTheDefaultFixes();
    EXPECT_FALSE(FileExists(unwritable + L"Vorlaine.Crimsel.ini"));
    EXPECT_FALSE(FileExists(unwritable + L"Crimsel.log"));

    ExecutionWorld world;
    VictimList(world, {{0.0f, "blood"}});
    Update(world.player);
    EXPECT_EQ(world.VictimIndex(), 1u);
    std::printf("host bytes written in the unwritable folder's start-up: %u\n",
                static_cast<unsigned>(changes.size()));
}

TEST_F(StressTest, StartUpTwiceWritesTheSameBytesAndStartsTheLogAgain) {
    WriteIni(kLoggingIni);
    StartPlugin();
    const std::vector<uint8_t> once = CopyHostCode();
    const std::vector<std::string> first = Entries();

    // The settings are not read again: this change must not show.
    WriteIni("[BloodDecal]\r\nRed=1\r\n[Logging]\r\nEnableLogging=1\r\n");
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_TRUE(CompareHostCode(once, CopyHostCode()).empty());
    EXPECT_EQ(Entries(), first);
    EXPECT_EQ(first.front(), "Logger initialized");

    ExecutionWorld world;
    VictimList(world, {{0.0f, "blood"}});
    Update(world.player);
    EXPECT_EQ(world.VictimIndex(), 1u) << "the hook works after the second start-up";
    EXPECT_EQ(Entries().size(), first.size() + 1);
    std::printf("start-up lines compared: %u\n", static_cast<unsigned>(first.size()));
}

// Hook threads log through the lock while start-up runs again: the lock must
// stay the one they hold, and no line may be cut by the log being emptied.
TEST_F(StressTest, StartUpAgainWhileHooksLogKeepsEveryLineWhole) {
    constexpr int kThreads = 4;
    const std::vector<std::unique_ptr<ExecutionWorld>> worlds = WorldsPerThread(kThreads);
    ExecutionWorld& shared = *worlds[0];
    for (int t = 0; t < kThreads; ++t) {
        shared.SetEntry(DecalList::Victim, 46 + t, 1, 0, 0.0f, 1, 2, "blood");
        shared.SetCount(DecalList::Victim, 46 + t, 1, 1);
    }
    WriteIni(kLoggingIni);
    HostJournalEnabled = false;
    StartPlugin();
    // A lock broken by the starts deadlocks: end the process rather than wait for the runner's limit.
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([finished] {
        if (WaitForSingleObject(finished, 30000) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "the hooks and the starts deadlocked on the log's lock\n");
            ExitProcess(1);
        }
    });
    volatile bool running = true;
    std::vector<int> updates(kThreads, 0);
    std::vector<std::thread> hooks;
    for (int t = 0; t < kThreads; ++t) {
        hooks.emplace_back([&, t] {
            ExecutionWorld& world = *worlds[static_cast<size_t>(t)];
            while (running) {
                world.ResetIndices();
                Update(world.player);
                ++updates[static_cast<size_t>(t)];
            }
        });
    }
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    for (int start = 0; start < 100; ++start) {
        again();
    }
    running = false;
    for (std::thread& hook : hooks) {
        hook.join();
    }
    SetEvent(finished);
    watchdog.join();
    CloseHandle(finished);
    HostJournalEnabled = true;

    static const std::regex message(
        R"((Execution victim decal|Logger initialized|InitializeASI|Settings|Applying|Installing).*)");
    const std::vector<std::string> lines = Entries();
    for (const std::string& line : lines) {
        ASSERT_TRUE(std::regex_match(line, message)) << "a cut line: " << line;
    }
    int total = 0;
    for (int count : updates) {
        EXPECT_GT(count, 0);
        total += count;
    }
    std::printf("updates while starting 100 times: %d; lines after the last start: %u\n", total,
                static_cast<unsigned>(lines.size()));
}
