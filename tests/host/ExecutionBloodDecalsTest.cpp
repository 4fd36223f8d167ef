// The execution blood decal hook, reached through the host's own call of UpdateWiiExecution.
#include "HostWorld.h"
#include "PluginScenario.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Host layout, from the host's side.

using List = DecalList;

struct Decal {
    uint32_t manager;
    uint32_t character;
    float x;
    float y;
    uint32_t texture;
    uint32_t zero;
};

float AsFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string Hex(const void* pointer) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", AddressOf(pointer));
    return text;
}

const char kLoggingIni[] = "[General]\r\n"
                           "FixExecutionBloodDecals=1\r\n"
                           "FixStaleDamageMapDecals=0\r\n"
                           "[Logging]\r\n"
                           "EnableLogging=1\r\n"
                           "LogExecutionDecals=1\r\n";

class ExecutionBloodDecalsTest : public PluginScenario {
  protected:
    ExecutionWorld world;
    uint8_t* const player = world.player;
    uint8_t* const victim = world.victim;
    uint8_t* const execution = world.execution;
    uint8_t* const controller = world.controller;
    uint8_t* const manager = world.decalManager;
    uint8_t* const source = world.source;

    void SetUp() override {
        PluginScenario::SetUp();
        world.SetExecutionIndex(10); // id 56
        HostReturns.ExecutionId = 0;
        HostReturns.ExecutionStage = 1;
    }

    void Start(const std::string& ini = kLoggingIni) {
        WriteIni(ini);
        StartPlugin();
        ClearHostJournal();
    }

    void SetAnimationTime(float time) { world.SetAnimationTime(time); }

    void SetEntry(List list, int id, int stage, int k, float time, float x, float y, const char* texture) {
        world.SetEntry(list, id, stage, k, time, x, y, texture);
    }

    const uint8_t* EntryAddress(List list, int id, int stage, int k) {
        return world.Entry(list, id, stage, k);
    }

    void SetCount(List list, int id, int stage, uint32_t count) { world.SetCount(list, id, stage, count); }

    // One execution update, made by the host's own code with known callee-saved registers.
    void Update() { RunHost(kHostExecutionUpdate, player); }

    std::vector<Decal> Decals() const {
        std::vector<Decal> decals;
        for (const HostCall& call : HostCallsOf(HostFunction::AddCharacterDecal)) {
            decals.push_back({call.Ecx, call.Args[0], AsFloat(call.Args[1]), AsFloat(call.Args[2]),
                              call.Args[3], call.Args[4]});
        }
        return decals;
    }

    std::vector<std::string> DecalLines() {
        std::vector<std::string> lines;
        for (const std::string& entry : Entries()) {
            if (entry.rfind("Execution ", 0) == 0) {
                lines.push_back(entry);
            }
        }
        return lines;
    }

    uint32_t VictimIndex() const { return world.VictimIndex(); }
    uint32_t SplatterIndex() const { return world.SplatterIndex(); }
};

} // namespace

TEST_F(ExecutionBloodDecalsTest, StartUpRetargetsOnlyTheCallDisplacement) {
    MEMORY_BASIC_INFORMATION before{};
    VirtualQuery(reinterpret_cast<void*>(kExecutionUpdateCall), &before, sizeof before);
    Start();
    EXPECT_FALSE(changes.empty());
    EXPECT_TRUE(ChangedOnlyWithin({{kExecutionUpdateCall + 1, 4}}));
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));

    MEMORY_BASIC_INFORMATION after{};
    VirtualQuery(reinterpret_cast<void*>(kExecutionUpdateCall), &after, sizeof after);
    EXPECT_EQ(after.Protect, before.Protect);
    EXPECT_EQ(after.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
}

TEST_F(ExecutionBloodDecalsTest, InteractiveModeHandsEveryCallToTheHostAndLogsOnce) {
    world.SetInteractive(1);
    SetCount(List::Victim, 56, 1, 1);
    SetEntry(List::Victim, 56, 1, 0, 0.0f, 1, 2, "blood");
    Start();
    for (int i = 0; i < 3; ++i) {
        Update();
    }
    const std::vector<HostCall> calls = HostJournal();
    ASSERT_EQ(calls.size(), 3u);
    for (const HostCall& call : calls) {
        EXPECT_EQ(call.Function, HostFunction::UpdateWiiExecution);
        EXPECT_EQ(call.Ecx, AddressOf(player));
    }
    EXPECT_EQ(VictimIndex(), 0u);
    const std::vector<std::string> entries = Entries();
    EXPECT_EQ(
        std::count(entries.begin(), entries.end(),
                   "UpdateWiiExecution: interactive execution mode is on, using original game function"),
        1);

    // The mode is read on every call: switched off, the next call spawns.
    world.SetInteractive(0);
    Update();
    EXPECT_EQ(Decals().size(), 1u);
}

TEST_F(ExecutionBloodDecalsTest, InteractiveModeWithLoggingOffWritesNothing) {
    world.SetInteractive(-5);
    Start("[Logging]\r\nEnableLogging=0\r\nLogExecutionDecals=1\r\n");
    Update();
    Update();
    EXPECT_EQ(HostCallsOf(HostFunction::UpdateWiiExecution).size(), 2u);
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
}

TEST_F(ExecutionBloodDecalsTest, ExecutionObjectIndexGivesTheIdUpTo85) {
    world.SetExecutionIndex(39);
    SetCount(List::Victim, 85, 1, 1);
    SetEntry(List::Victim, 85, 1, 0, 0.0f, 3, 4, "row85");
    Start();
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 85, 1, 0) + 4));
    EXPECT_TRUE(HostCallsOf(HostFunction::GetExecutionSource).empty());
    EXPECT_TRUE(HostCallsOf(HostFunction::GetExecutionId).empty());

    world.SetExecutionIndex(40);
    ClearHostJournal();
    Update();
    EXPECT_TRUE(Decals().empty());
    EXPECT_TRUE(HostCallsOf(HostFunction::GetExecutionSource).empty());
    EXPECT_TRUE(HostCallsOf(HostFunction::GetExecutionStage).empty());
    // The tables and the manager are asked before any range test.
    EXPECT_EQ(HostCallsOf(HostFunction::GetExecutionDecalTables).size(), 1u);
    EXPECT_EQ(HostCallsOf(HostFunction::GetDecalManager).size(), 1u);
    EXPECT_EQ(DecalLines().size(), 1u);
}

TEST_F(ExecutionBloodDecalsTest, WithoutAnExecutionObjectTheIdComesFromTheHost) {
    world.RemoveExecutionObject();
    HostReturns.ExecutionId = 7;
    SetCount(List::Splatter, 7, 1, 1);
    SetEntry(List::Splatter, 7, 1, 0, 0.0f, 5, 6, "host-id");
    Start();
    Update();
    const std::vector<HostCall> calls = HostJournal();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls[0].Function, HostFunction::GetExecutionDecalTables);
    EXPECT_EQ(calls[0].Ecx, AddressOf(player));
    EXPECT_EQ(calls[1].Function, HostFunction::GetDecalManager);
    EXPECT_EQ(calls[2].Function, HostFunction::GetExecutionSource);
    EXPECT_EQ(calls[2].Ecx, AddressOf(player));
    EXPECT_EQ(calls[3].Function, HostFunction::GetExecutionId);
    EXPECT_EQ(calls[3].Ecx, AddressOf(source));
    EXPECT_EQ(calls[4].Function, HostFunction::GetExecutionStage);
    EXPECT_EQ(calls[4].Ecx, AddressOf(player));
    EXPECT_EQ(calls[5].Function, HostFunction::GetCurrentAnimation);
    EXPECT_EQ(calls[5].Ecx, AddressOf(controller));
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].character, AddressOf(player));
}

TEST_F(ExecutionBloodDecalsTest, StageOverrideAndVariantChooseTheStage) {
    SetCount(List::Victim, 56, 2, 1);
    SetEntry(List::Victim, 56, 2, 0, 0.0f, 1, 1, "stage2");
    SetCount(List::Victim, 56, 3, 1);
    SetEntry(List::Victim, 56, 3, 0, 0.0f, 1, 1, "stage3");
    Start();

    HostReturns.ExecutionStage = 0;
    WriteField(player, kStageOverrideActive, uint8_t{1});
    WriteField(player, kStageOverride, int32_t{2});
    Update();
    EXPECT_EQ(HostCallsOf(HostFunction::GetExecutionStage).size(), 1u);
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 56, 2, 0) + 4));

    // Variant 1 leaves a stage of 7 out of range; variant 2 forces stage 3.
    WriteField(player, kStageOverrideActive, uint8_t{0});
    world.ResetIndices();
    HostReturns.ExecutionStage = 7;
    WriteField(player, kExecutionVariant, int32_t{1});
    ClearHostJournal();
    Update();
    EXPECT_TRUE(Decals().empty());
    EXPECT_TRUE(HostCallsOf(HostFunction::GetCurrentAnimation).empty());

    WriteField(player, kExecutionVariant, int32_t{2});
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 56, 3, 0) + 4));
    const std::vector<std::string> lines = DecalLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" stage=2 "), std::string::npos);
    EXPECT_NE(lines[1].find(" stage=3 "), std::string::npos);

    // Forcing the last stage wins over an active override.
    WriteField(player, kStageOverrideActive, uint8_t{1});
    world.ResetIndices();
    ClearHostJournal();
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 56, 3, 0) + 4));
}

TEST_F(ExecutionBloodDecalsTest, NegativeIdsAndStagesEndTheCall) {
    SetCount(List::Victim, 0, 0, 1);
    SetEntry(List::Victim, 0, 0, 0, 0.0f, 1, 1, "first");
    Start();
    world.SetExecutionIndex(-47); // id -1
    Update();
    world.RemoveExecutionObject();
    HostReturns.ExecutionId = std::numeric_limits<int32_t>::min();
    Update();
    HostReturns.ExecutionId = 0;
    HostReturns.ExecutionStage = -1;
    Update();
    WriteField(player, kStageOverrideActive, uint8_t{1});
    WriteField(player, kStageOverride, int32_t{-4});
    HostReturns.ExecutionStage = 0;
    Update();
    EXPECT_TRUE(Decals().empty());
    EXPECT_TRUE(HostCallsOf(HostFunction::GetCurrentAnimation).empty());
    EXPECT_EQ(VictimIndex(), 0u);
    EXPECT_TRUE(DecalLines().empty());
}

TEST_F(ExecutionBloodDecalsTest, NoAnimationEndsTheCall) {
    SetCount(List::Victim, 56, 1, 1);
    SetEntry(List::Victim, 56, 1, 0, 0.0f, 1, 1, "blood");
    HostReturns.Animation = nullptr;
    Start();
    Update();
    EXPECT_EQ(HostCallsOf(HostFunction::GetCurrentAnimation).size(), 1u);
    EXPECT_TRUE(Decals().empty());
    EXPECT_EQ(VictimIndex(), 0u);
}

TEST_F(ExecutionBloodDecalsTest, DueEntriesSpawnInTableOrderAndANotDueOneStopsTheWalk) {
    SetCount(List::Victim, 56, 1, 5);
    SetEntry(List::Victim, 56, 1, 0, 0.5f, 1, 1, "v0");
    SetEntry(List::Victim, 56, 1, 1, 1.0f, 2, 2, "v1");
    SetEntry(List::Victim, 56, 1, 2, 2.0f, 3, 3, "v2");
    SetEntry(List::Victim, 56, 1, 3, 0.1f, 4, 4, "v3");
    SetEntry(List::Victim, 56, 1, 4, 3.0f, 5, 5, "v4");
    Start();

    SetAnimationTime(0.25f);
    Update();
    EXPECT_TRUE(Decals().empty());

    // Equal time is due; 2.0 is not, and it holds back the 0.1 behind it.
    SetAnimationTime(1.0f);
    Update();
    ASSERT_EQ(Decals().size(), 2u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 56, 1, 0) + 4));
    EXPECT_EQ(Decals()[1].texture, AddressOf(EntryAddress(List::Victim, 56, 1, 1) + 4));
    EXPECT_EQ(VictimIndex(), 2u);

    SetAnimationTime(5.0f);
    ClearHostJournal();
    Update();
    ASSERT_EQ(Decals().size(), 3u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(EntryAddress(List::Victim, 56, 1, 2) + 4));
    EXPECT_EQ(Decals()[2].texture, AddressOf(EntryAddress(List::Victim, 56, 1, 4) + 4));
    EXPECT_EQ(VictimIndex(), 5u);

    // Used up: nothing is spawned twice.
    ClearHostJournal();
    Update();
    EXPECT_TRUE(Decals().empty());
    EXPECT_EQ(VictimIndex(), 5u);
}

// The host's animation runs on while it adds a decal, and the victim changes:
// each entry of one walk sees the time and the victim as they are then.
TEST_F(ExecutionBloodDecalsTest, EachEntryOfAWalkReadsTheAnimationTimeAndTheVictimAfresh) {
    SetCount(List::Victim, 56, 1, 3);
    SetEntry(List::Victim, 56, 1, 0, 0.5f, 1, 1, "v0");
    SetEntry(List::Victim, 56, 1, 1, 0.6f, 2, 2, "v1");
    SetEntry(List::Victim, 56, 1, 2, 0.9f, 3, 3, "v2");
    Start();
    static ExecutionWorld* current = nullptr;
    alignas(16) static uint8_t otherVictim[0x1100] = {};
    current = &world;
    HostAddCharacterDecalAction = [](void*, float, float) {
        current->SetAnimationTime(0.7f);
        WriteField(current->player, kExecutionVictim, AddressOf(otherVictim));
    };
    SetAnimationTime(0.55f);
    Update();
    HostAddCharacterDecalAction = nullptr;
    ASSERT_EQ(Decals().size(), 2u) << "0.6 came due while the first decal was added; 0.9 did not";
    EXPECT_EQ(Decals()[0].character, AddressOf(victim));
    EXPECT_EQ(Decals()[1].character, AddressOf(otherVictim));
    EXPECT_EQ(VictimIndex(), 2u);
}

TEST_F(ExecutionBloodDecalsTest, NanTimesCountAsDue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    SetCount(List::Victim, 56, 1, 1);
    SetEntry(List::Victim, 56, 1, 0, nan, 1, 1, "nan-entry");
    SetCount(List::Splatter, 56, 1, 1);
    SetEntry(List::Splatter, 56, 1, 0, 100.0f, 1, 1, "late");
    Start();
    SetAnimationTime(0.0f);
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    SetAnimationTime(nan);
    Update();
    EXPECT_EQ(Decals().size(), 2u);
    EXPECT_EQ(SplatterIndex(), 1u);
}

TEST_F(ExecutionBloodDecalsTest, VictimListFirstOnTheVictimThenSplatterOnThePlayer) {
    SetCount(List::Victim, 56, 1, 2);
    SetEntry(List::Victim, 56, 1, 0, 0.0f, 1.5f, -2.25f, "victim0");
    SetEntry(List::Victim, 56, 1, 1, 9.0f, 0, 0, "victim1");
    SetCount(List::Splatter, 56, 1, 2);
    SetEntry(List::Splatter, 56, 1, 0, 0.0f, 10.0f, 20.0f, "splat0");
    SetEntry(List::Splatter, 56, 1, 1, 0.5f, 30.0f, 40.0f, "splat1");
    Start();
    SetAnimationTime(1.0f);
    Update();

    const std::vector<Decal> decals = Decals();
    ASSERT_EQ(decals.size(), 3u);
    EXPECT_EQ(decals[0].manager, AddressOf(manager));
    EXPECT_EQ(decals[0].character, AddressOf(victim));
    EXPECT_EQ(decals[0].x, 1.5f);
    EXPECT_EQ(decals[0].y, -2.25f);
    EXPECT_EQ(decals[0].texture, AddressOf(EntryAddress(List::Victim, 56, 1, 0) + 4));
    EXPECT_EQ(decals[0].zero, 0u);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(decals[i].manager, AddressOf(manager));
        EXPECT_EQ(decals[i].character, AddressOf(player));
        EXPECT_EQ(decals[i].texture,
                  AddressOf(EntryAddress(List::Splatter, 56, 1, static_cast<int>(i) - 1) + 4));
        EXPECT_EQ(decals[i].zero, 0u);
    }
    EXPECT_EQ(decals[2].x, 30.0f);
    EXPECT_EQ(decals[2].y, 40.0f);
    EXPECT_EQ(VictimIndex(), 1u);
    EXPECT_EQ(SplatterIndex(), 2u);

    // An empty or used-up victim list does not keep the splatter list from its turn.
    SetCount(List::Splatter, 56, 1, 3);
    SetEntry(List::Splatter, 56, 1, 2, 0.0f, 1, 1, "splat2");
    SetCount(List::Victim, 56, 1, 0);
    ClearHostJournal();
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].character, AddressOf(player));
}

TEST_F(ExecutionBloodDecalsTest, DecalLinesFollowTheFormatWithTheIndexBeforeTheIncrement) {
    SetCount(List::Victim, 56, 1, 2);
    SetEntry(List::Victim, 56, 1, 0, 0.25f, 1.5f, -2.0f, "blood_a");
    SetEntry(List::Victim, 56, 1, 1, 0.5f, 3.0f, 4.0f, "blood_b");
    SetCount(List::Splatter, 56, 1, 1);
    SetEntry(List::Splatter, 56, 1, 0, 0.125f, 7.0f, 8.5f, "splat");
    Start();
    SetAnimationTime(0.75f);
    Update();

    const std::string p = Hex(player);
    const std::string v = Hex(victim);
    EXPECT_EQ(
        DecalLines(),
        (std::vector<std::string>{
            "Execution victim decal: player=" + p + " victim=" + v +
                " execId=56 stage=1 index=0/2 time=0.250 animTime=0.750 pos=(1.500, -2.000) texture=blood_a",
            "Execution victim decal: player=" + p + " victim=" + v +
                " execId=56 stage=1 index=1/2 time=0.500 animTime=0.750 pos=(3.000, 4.000) texture=blood_b",
            "Execution splatter decal: player=" + p +
                " execId=56 stage=1 index=0/1 time=0.125 animTime=0.750 pos=(7.000, 8.500) texture=splat",
        }));
}

TEST_F(ExecutionBloodDecalsTest, DecalLoggingNeedsBothSettings) {
    SetCount(List::Victim, 56, 1, 1);
    SetEntry(List::Victim, 56, 1, 0, 0.0f, 1, 1, "blood");
    Start("[Logging]\r\nEnableLogging=1\r\nLogExecutionDecals=0\r\n");
    Update();
    EXPECT_EQ(Decals().size(), 1u);
    EXPECT_TRUE(DecalLines().empty());
    EXPECT_FALSE(Entries().empty());
}

TEST_F(ExecutionBloodDecalsTest, DecalLoggingWithLoggingOffStillSpawns) {
    SetCount(List::Victim, 56, 1, 1);
    SetEntry(List::Victim, 56, 1, 0, 0.0f, 1, 1, "blood");
    Start("[Logging]\r\nEnableLogging=0\r\nLogExecutionDecals=1\r\n");
    Update();
    EXPECT_EQ(Decals().size(), 1u);
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
}

TEST_F(ExecutionBloodDecalsTest, CountsAbove25WalkTheStagesOwnSlotsOnly) {
    SetCount(List::Victim, 56, 1, 40);
    for (int k = 0; k < 25; ++k) {
        SetEntry(List::Victim, 56, 1, k, 0.0f, 1, 1, "slot");
    }
    SetEntry(List::Victim, 56, 2, 0, 0.0f, 1, 1, "next-stage");
    Start();
    Update();
    const std::vector<Decal> decals = Decals();
    ASSERT_EQ(decals.size(), 25u);
    EXPECT_EQ(decals.back().texture, AddressOf(EntryAddress(List::Victim, 56, 1, 24) + 4));
    EXPECT_EQ(VictimIndex(), 25u);
    // The printed count is the table's own.
    EXPECT_NE(DecalLines().back().find(" index=24/40 "), std::string::npos);
}

TEST_F(ExecutionBloodDecalsTest, ATextureThatFillsItsFieldPrintsItsTwentyCharactersOnly) {
    SetCount(List::Splatter, 56, 1, 1);
    SetEntry(List::Splatter, 56, 1, 0, 0.0f, 0, 0, "");
    uint8_t* entry = world.Entry(List::Splatter, 56, 1, 0);
    std::memcpy(entry + 4, "ABCDEFGHIJKLMNOPQRST", 20);
    WriteField(entry, 0x18, uint32_t{0x41414141}); // X: bytes that would print as "AAAA"
    WriteField(entry, kDecalEntryY, uint32_t{0x41414141});
    Start();
    Update();
    ASSERT_EQ(Decals().size(), 1u);
    EXPECT_EQ(Decals()[0].texture, AddressOf(entry + 4));
    const std::vector<std::string> lines = DecalLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string tail = "texture=ABCDEFGHIJKLMNOPQRST";
    EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail);
}
