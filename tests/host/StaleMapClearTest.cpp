// The stale damage-map clear hook, entered from the host's clear set-up.
#include "Pixels.h"
#include "PluginScenario.h"

#include <algorithm>
#include <cstring>

namespace {

uint8_t HostByte(uint32_t address) {
    return *reinterpret_cast<const volatile uint8_t*>(address);
}

class StaleMapClearTest : public PluginScenario {
  protected:
    void Clear() {
        ClearHostJournal();
        HostClearValue = 0.0f;
        RunHost(kHostClearDamageMap, nullptr);
    }

    // Between the set-up and the resume point nothing but the x87 stack may differ.
    void ExpectOneMoreX87EntryAndTheSameRegisters() {
        const ClearCheckpoint& before = HostClearBeforeSetup;
        const ClearCheckpoint& resume = HostClearAtResume;
        EXPECT_EQ(resume.Ebx, before.Ebx);
        EXPECT_EQ(resume.Esi, before.Esi);
        EXPECT_EQ(resume.Edi, before.Edi);
        EXPECT_EQ(resume.Ebp, before.Ebp);
        EXPECT_EQ(resume.Esp, before.Esp);
        EXPECT_EQ(FpuStackTop(resume), (FpuStackTop(before) + 7) % 8) << "exactly one entry deeper";
        EXPECT_EQ(resume.Top, 1.0f);
        EXPECT_EQ(HostClearValue, 1.0f);
    }
};

} // namespace

TEST_F(StaleMapClearTest, OffLeavesTheSetUpAndLogsNothing) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n"
             "[Logging]\r\nEnableLogging=1\r\n");
    const std::vector<uint8_t> before(reinterpret_cast<const uint8_t*>(kClearSetup),
                                      reinterpret_cast<const uint8_t*>(kClearSetup) + 14);
    StartPlugin();
    EXPECT_TRUE(changes.empty());
    for (const std::string& entry : Entries()) {
        EXPECT_EQ(entry.find("stale"), std::string::npos) << entry;
    }
    Clear();
    ASSERT_EQ(HostJournal().size(), 1u);
    EXPECT_EQ(HostJournal()[0].Function, HostFunction::SetRenderState);
    EXPECT_EQ(HostJournal()[0].Args[0], 14u);
    EXPECT_EQ(HostJournal()[0].Args[1], 1u);
    ExpectOneMoreX87EntryAndTheSameRegisters();
}

TEST_F(StaleMapClearTest, WritesTheJumpAndTheFillOnly) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=1\r\n"
             "[Logging]\r\nEnableLogging=1\r\n");
    const std::vector<uint8_t> kept(reinterpret_cast<const uint8_t*>(kClearSetup + 9),
                                    reinterpret_cast<const uint8_t*>(kClearResume));
    StartPlugin();
    EXPECT_EQ(HostByte(kClearSetup), 0xE9);
    uint32_t displacement;
    std::memcpy(&displacement, reinterpret_cast<const void*>(kClearSetup + 1), 4);
    EXPECT_TRUE(InPlugin(kClearSetup + 5 + displacement));
    for (uint32_t a = kClearSetup + 5; a < kClearSetup + 9; ++a) {
        EXPECT_EQ(HostByte(a), 0x90);
    }
    EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(kClearSetup + 9),
                                   reinterpret_cast<const uint8_t*>(kClearResume)),
              kept);
    for (const HostByteChange& change : changes) {
        EXPECT_TRUE(change.Address >= kClearSetup && change.Address < kClearSetup + 9)
            << std::hex << change.Address;
    }
    const std::vector<std::string> entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), "Installing stale damage-map clear blend hook: setup=0x005BB33B");
}

TEST_F(StaleMapClearTest, ClearRunsWithDepthWritesOffAndBlendOneZero) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=1\r\n");
    StartPlugin();
    for (int pass = 0; pass < 2; ++pass) {
        Clear();
        const std::vector<HostCall> calls = HostJournal();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].Function, HostFunction::SetRenderState);
        EXPECT_EQ(calls[0].Args[0], 14u);
        EXPECT_EQ(calls[0].Args[1], 0u);
        EXPECT_EQ(calls[1].Function, HostFunction::SetBlendFactors);
        EXPECT_EQ(calls[1].Args[0], 2u);
        EXPECT_EQ(calls[1].Args[1], 1u);
        ExpectOneMoreX87EntryAndTheSameRegisters();
    }
}

// Pixels: a map holding its earlier owner's blood, cleared for a new character.
TEST(StaleMapClearPixels, OldBloodShowsThroughTheClearOnlyWithoutTheFix) {
    ASSERT_TRUE(DeviceStarted());
    const uint32_t oldBlood = Blend(0xC0800000, 0, 5, 6); // the stand-in's colour over an empty map
    const Panel without = DrawStaleMap(false);
    ASSERT_EQ(without.size(), kMapPixels * kMapPixels);
    for (const DecalSpot& spot : kDecalSpots) {
        EXPECT_TRUE(Near(PixelAt(without, spot), oldBlood));
    }
    const Panel with = DrawStaleMap(true);
    ASSERT_EQ(with.size(), kMapPixels * kMapPixels);
    EXPECT_EQ(std::count(with.begin(), with.end(), kClearColour), static_cast<long>(with.size()));
}
