// The damage-map diagnostics, reached through the host's own call of UpdateRenderMaps.
#include "HostWorld.h"
#include "PluginScenario.h"

#include <cstring>

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

struct Block {
    std::string header;
    std::vector<std::string> maps;
};

const char kDiagnosticsIni[] = "[General]\r\n"
                               "FixExecutionBloodDecals=0\r\n"
                               "FixStaleDamageMapDecals=0\r\n"
                               "[Logging]\r\n"
                               "EnableLogging=1\r\n"
                               "LogDamageMapDiagnostics=1\r\n";

class DamageMapDiagnosticsTest : public PluginScenario {
  protected:
    DamageManagerWorld world;
    DamageManagerWorld otherWorld;
    uint8_t* manager = world.Manager();
    size_t loggedEntries = 0;

    uint8_t* Map(unsigned i) { return world.Map(i); }

    void SetMap(unsigned i, uint32_t owner, uint32_t tex, uint32_t tex2, uint8_t decals, uint8_t rendered,
                uint8_t flags) {
        world.SetMap(i, owner, tex, tex2, decals, rendered, flags);
    }

    void SetSlot(unsigned slot, const uint8_t* map) { world.SetSlot(slot, map); }

    void SetCounts(uint16_t mapCount, uint16_t renderedCount, uint32_t cleanupTimer) {
        world.SetCounts(mapCount, renderedCount, cleanupTimer);
    }

    void Start(const std::string& ini = kDiagnosticsIni) {
        WriteIni(ini);
        StartPlugin();
        ClearHostJournal();
        loggedEntries = FileExists(folder + L"Crimsel.log") ? Entries().size() : 0;
    }

    // One frame of the host's damage manager; returns the blocks it logged.
    std::vector<Block> Frame(const void* which) {
        RunHost(kHostDamageManagerFrame, which);
        return NewBlocks();
    }
    std::vector<Block> Frame() { return Frame(manager); }

    std::vector<Block> NewBlocks() {
        const std::vector<std::string> entries = Entries();
        std::vector<Block> blocks;
        for (size_t i = loggedEntries; i < entries.size(); ++i) {
            if (entries[i].rfind("DamageMapState ", 0) == 0) {
                blocks.push_back({entries[i], {}});
            } else if (!blocks.empty() && entries[i].rfind("  map[", 0) == 0) {
                blocks.back().maps.push_back(entries[i]);
            } else {
                ADD_FAILURE() << "unexpected line: " << entries[i];
            }
        }
        loggedEntries = entries.size();
        return blocks;
    }

    std::string Header(const char* label, const void* which, unsigned mapCount, unsigned renderedCount,
                       unsigned timer) {
        return std::string("DamageMapState ") + label + " manager=" + Hex(AddressOf(which)) +
               " mapCount=" + std::to_string(mapCount) + " renderedCount=" + std::to_string(renderedCount) +
               " cleanupTimer=" + std::to_string(timer);
    }

    // Two maps: map 0 in slot 0, map 1 in no slot.
    void TwoMaps() {
        SetMap(0, 0xABCD, 0x1000, 0, 3, 1, 0x03);
        SetMap(1, 0xBEEF, 0x2000, 0x3000, 0, 0, 0x04);
        SetSlot(0, Map(0));
        SetCounts(2, 1, 77);
    }
};

} // namespace

TEST_F(DamageMapDiagnosticsTest, InstallRetargetsOnlyTheCallAndLogsItFirst) {
    Start();
    EXPECT_FALSE(changes.empty());
    EXPECT_TRUE(ChangedOnlyWithin({{kRenderMapsCall + 1, 4}}));
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));
    EXPECT_EQ(Entries().back(), "Installing CharacterDamageManager diagnostics hook at call 0x005BB163");
}

TEST_F(DamageMapDiagnosticsTest, FirstFrameLogsOneBlockAndAnUnchangedStateNothing) {
    TwoMaps();
    Start();
    const std::vector<Block> first = Frame();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].header, Header("before_UpdateRenderMaps", manager, 2, 1, 77));
    EXPECT_EQ(first[0].maps,
              (std::vector<std::string>{
                  "  map[00] activeSlot=0 owner=0000ABCD tex=00001000 tex2=00000000 decals=3 rendered=1 "
                  "flags=0x03 needsClear resetAfterRender",
                  "  map[01] activeSlot=-- owner=0000BEEF tex=00002000 tex2=00003000 decals=0 rendered=0 "
                  "flags=0x04 inactive",
              }));
    EXPECT_TRUE(Frame().empty());
    EXPECT_TRUE(Frame().empty());
    const std::vector<HostCall> calls = HostCallsOf(HostFunction::UpdateRenderMaps);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].Ecx, AddressOf(manager));
}

TEST_F(DamageMapDiagnosticsTest, AChangeMadeByUpdateRenderMapsBringsAnAfterBlock) {
    TwoMaps();
    Start();
    HostUpdateRenderMapsAction = [](void* which) {
        if (which != nullptr) {
            static_cast<uint8_t*>(which)[kManagerMaps + kMapRendered] += 1; // map 0 rendered once more
        }
    };
    std::vector<Block> blocks = Frame();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].header.rfind("DamageMapState before_UpdateRenderMaps ", 0), 0u);
    EXPECT_EQ(blocks[1].header.rfind("DamageMapState after_UpdateRenderMaps ", 0), 0u);
    EXPECT_NE(blocks[1].maps[0].find(" rendered=2 "), std::string::npos);
    blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].header.rfind("DamageMapState after_UpdateRenderMaps ", 0), 0u);
    HostUpdateRenderMapsAction = nullptr;
}

TEST_F(DamageMapDiagnosticsTest, TimerOrSlotChangesAloneBringAWholeBlock) {
    TwoMaps();
    Start();
    Frame();
    WriteField(manager, kCleanupTimer, uint32_t{78});
    std::vector<Block> blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].header, Header("before_UpdateRenderMaps", manager, 2, 1, 78));
    EXPECT_EQ(blocks[0].maps.size(), 2u);

    // The same map moved from slot 0 to slot 2 (with the count covering it).
    SetSlot(0, nullptr);
    SetSlot(2, Map(0));
    WriteField(manager, kRenderedCount, uint16_t{3});
    Frame();
    SetSlot(2, nullptr);
    SetSlot(1, Map(0));
    blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].maps[0].rfind("  map[00] activeSlot=1 ", 0), 0u);
}

TEST_F(DamageMapDiagnosticsTest, AnotherManagerWithTheSameContentsBringsNoBlock) {
    TwoMaps();
    Start();
    Frame();
    uint8_t* other = otherWorld.Manager();
    std::memcpy(other, manager, kCleanupTimer + 4);
    otherWorld.SetSlot(0, otherWorld.Map(0)); // the copy's slot holds its own map 0
    EXPECT_TRUE(Frame(other).empty());
    EXPECT_EQ(HostCallsOf(HostFunction::UpdateRenderMaps).back().Ecx, AddressOf(other));
}

TEST_F(DamageMapDiagnosticsTest, MapCountZeroLogsTheHeaderAloneAndAbove64OnlyTheFirst64) {
    SetCounts(0, 0, 5);
    Start();
    std::vector<Block> blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].header, Header("before_UpdateRenderMaps", manager, 0, 0, 5));
    EXPECT_TRUE(blocks[0].maps.empty());

    for (unsigned i = 0; i < 100; ++i) {
        SetMap(i, i + 1, 0, 0, 0, 0, 0);
    }
    SetCounts(100, 0, 5);
    blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].header, Header("before_UpdateRenderMaps", manager, 100, 0, 5));
    ASSERT_EQ(blocks[0].maps.size(), 64u);
    EXPECT_EQ(blocks[0].maps.back().rfind("  map[63] activeSlot=-- owner=00000040 ", 0), 0u);

    SetMap(64, 0xDEAD, 0, 0, 9, 9, 0x07);
    SetMap(99, 0xDEAD, 0, 0, 9, 9, 0x07);
    EXPECT_TRUE(Frame().empty());
}

TEST_F(DamageMapDiagnosticsTest, SlotTextsFollowTheFirstEightSlotsInUse) {
    SetMap(0, 1, 0, 0, 0, 0, 0);
    SetMap(1, 2, 0, 0, 0, 0, 0);
    SetMap(2, 3, 0, 0, 0, 0, 0);
    SetSlot(1, Map(0));
    SetSlot(3, Map(0));
    SetSlot(8, Map(1));
    SetSlot(7, Map(2));
    SetCounts(3, 0, 0);
    Start();
    std::vector<Block> blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    for (const std::string& line : blocks[0].maps) {
        EXPECT_NE(line.find(" activeSlot=-- "), std::string::npos) << line;
    }

    WriteField(manager, kRenderedCount, uint16_t{12});
    blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_EQ(blocks[0].maps.size(), 3u);
    EXPECT_EQ(blocks[0].maps[0].rfind("  map[00] activeSlot=1 ", 0), 0u);
    EXPECT_EQ(blocks[0].maps[1].rfind("  map[01] activeSlot=-- ", 0), 0u);
    EXPECT_EQ(blocks[0].maps[2].rfind("  map[02] activeSlot=7 ", 0), 0u);
}

TEST_F(DamageMapDiagnosticsTest, FlagsPrintInHexWithTheirNames) {
    SetMap(0, 0, 0, 0, 255, 254, 0x07);
    SetMap(1, 0, 0, 0, 0, 0, 0x80);
    SetMap(2, 0, 0, 0, 0, 0, 0x02);
    SetCounts(3, 0, 4294967295u);
    Start();
    const std::vector<Block> blocks = Frame();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].header, Header("before_UpdateRenderMaps", manager, 3, 0, 4294967295u));
    EXPECT_EQ(blocks[0].maps[0],
              "  map[00] activeSlot=-- owner=00000000 tex=00000000 tex2=00000000 decals=255 "
              "rendered=254 flags=0x07 needsClear resetAfterRender inactive");
    EXPECT_EQ(blocks[0].maps[1], "  map[01] activeSlot=-- owner=00000000 tex=00000000 tex2=00000000 decals=0 "
                                 "rendered=0 flags=0x80");
    EXPECT_EQ(blocks[0].maps[2], "  map[02] activeSlot=-- owner=00000000 tex=00000000 tex2=00000000 decals=0 "
                                 "rendered=0 flags=0x02 resetAfterRender");
}

TEST_F(DamageMapDiagnosticsTest, NullManagerPassesThroughAndLeavesTheSnapshot) {
    TwoMaps();
    Start();
    Frame();
    EXPECT_TRUE(Frame(nullptr).empty());
    EXPECT_TRUE(Frame().empty()) << "the null manager must not have reset the snapshot";
    const std::vector<HostCall> calls = HostCallsOf(HostFunction::UpdateRenderMaps);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].Ecx, 0u);
}

TEST_F(DamageMapDiagnosticsTest, LoggingOffStillInstallsAndPassesEveryCallThrough) {
    TwoMaps();
    Start("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n"
          "[Logging]\r\nEnableLogging=0\r\nLogDamageMapDiagnostics=1\r\n");
    EXPECT_TRUE(CallsIntoPlugin(kRenderMapsCall));
    EXPECT_TRUE(ChangedOnlyWithin({{kRenderMapsCall + 1, 4}}));
    for (int i = 0; i < 3; ++i) {
        RunHost(kHostDamageManagerFrame, manager);
    }
    EXPECT_EQ(HostCallsOf(HostFunction::UpdateRenderMaps).size(), 3u);
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
}
