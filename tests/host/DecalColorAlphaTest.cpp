// The decal colour/alpha patch and the blend restore at the end of the host's decal drawing.
#include "Pixels.h"
#include "PluginScenario.h"

#include <cstring>

namespace {

uint8_t HostByte(uint32_t address) {
    return *reinterpret_cast<const volatile uint8_t*>(address);
}

struct BlendCall {
    uint32_t source;
    uint32_t destination;
    bool operator==(const BlendCall& other) const {
        return source == other.source && destination == other.destination;
    }
};

class DecalColorAlphaTest : public PluginScenario {
  protected:
    alignas(16) uint8_t map[kMapStride] = {};

    // One decal drawing pass over the map, run by the host's own code.
    void Draw(uint8_t flags) {
        map[kMapFlags] = flags;
        HostDrawingEpilogueRan = 0;
        ClearHostJournal();
        RunHost(kHostDrawDamageMapDecals, map);
    }

    std::vector<BlendCall> BlendCalls() const {
        std::vector<BlendCall> calls;
        for (const HostCall& call : HostCallsOf(HostFunction::SetBlendFactors)) {
            calls.push_back({call.Args[0], call.Args[1]});
        }
        return calls;
    }

    uint32_t DrawnColour() const {
        const std::vector<HostCall> draws = HostCallsOf(HostFunction::DrawDecalQuads);
        EXPECT_EQ(draws.size(), 1u);
        return draws.empty() ? 0 : draws[0].Args[0];
    }
};

const char kPatchOn[] = "[General]\r\n"
                        "FixExecutionBloodDecals=0\r\n"
                        "PatchBloodDecalColorAndAlpha=1\r\n"
                        "FixStaleDamageMapDecals=0\r\n"
                        "[BloodDecal]\r\n"
                        "Red=200\r\n"
                        "Green=10\r\n"
                        "Blue=10\r\n"
                        "Alpha=255\r\n"
                        "[Logging]\r\n"
                        "EnableLogging=1\r\n";

} // namespace

TEST_F(DecalColorAlphaTest, OffLeavesTheHostsColourAndBlending) {
    WriteIni("[General]\r\nPatchBloodDecalColorAndAlpha=0\r\nFixExecutionBloodDecals=0\r\n"
             "FixStaleDamageMapDecals=0\r\n");
    StartPlugin();
    EXPECT_TRUE(changes.empty());
    Draw(0x07);
    EXPECT_EQ(BlendCalls(), (std::vector<BlendCall>{{5, 6}}));
    EXPECT_EQ(DrawnColour(), 0xC0000080u);
    EXPECT_EQ(HostDrawingEpilogueRan, 1u);
    EXPECT_EQ(map[kMapFlags], 0x06);
}

TEST_F(DecalColorAlphaTest, WritesTheSevenWindowsAndLogsBeforeThem) {
    WriteIni(kPatchOn);
    StartPlugin();
    EXPECT_EQ(HostByte(kDecalRed), 200);
    EXPECT_EQ(HostByte(kDecalGreen), 10);
    EXPECT_EQ(HostByte(kDecalBlue), 10);
    EXPECT_EQ(HostByte(kDecalAlpha), 255);
    EXPECT_EQ(HostByte(kDecalSourceBlend), 0x02);
    EXPECT_EQ(HostByte(kDrawingEnd), 0xE9);
    uint32_t displacement;
    std::memcpy(&displacement, reinterpret_cast<const void*>(kDrawingEnd + 1), 4);
    EXPECT_TRUE(InPlugin(kDrawingEnd + 5 + displacement));
    EXPECT_EQ(HostByte(kDrawingEnd + 5), 0x90);
    EXPECT_EQ(HostByte(kDrawingEnd + 6), 0x90);
    for (const HostByteChange& change : changes) {
        const uint32_t a = change.Address;
        EXPECT_TRUE(a == kDecalSourceBlend || a == kDecalRed || a == kDecalGreen || a == kDecalBlue ||
                    a == kDecalAlpha || (a >= kDrawingEnd && a < kDrawingEnd + 7))
            << std::hex << a;
    }
    EXPECT_EQ(HostByte(kDrawingEnd + 7), 0xC7) << "the host's bytes after the seven are kept";

    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[3],
              "Applying blood decal color/alpha patch with contained Wii-style source blend: red=200 "
              "green=10 blue=10 alpha=255");
    EXPECT_EQ(entries[4], "Installing CharacterDamageMap blend restore hook at 0x005BB512");
    EXPECT_EQ(entries[5], "Execution blood decal hook disabled");
}

TEST_F(DecalColorAlphaTest, DrawingDrawsTheUsersColourAndEndsWithTheUsualBlend) {
    WriteIni(kPatchOn);
    StartPlugin();
    Draw(0x07);
    EXPECT_EQ(DrawnColour(), 0xFF0A0AC8u);
    EXPECT_EQ(BlendCalls(), (std::vector<BlendCall>{{2, 6}, {5, 6}}));
    EXPECT_EQ(HostDrawingEpilogueRan, 0u) << "the host's own end must not run";
    EXPECT_EQ(map[kMapFlags], 0x06);

    Draw(0x06);
    EXPECT_EQ(map[kMapFlags], 0x06);
    Draw(0xFF);
    EXPECT_EQ(map[kMapFlags], 0xFE);
    EXPECT_EQ(BlendCalls().back(), (BlendCall{5, 6}));
}

TEST_F(DecalColorAlphaTest, ZeroColourIsAValueLikeAnyOther) {
    WriteIni("[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n"
             "[BloodDecal]\r\nRed=0\r\nGreen=0\r\nBlue=0\r\nAlpha=0\r\n");
    StartPlugin();
    EXPECT_EQ(HostByte(kDecalRed), 0x00);
    EXPECT_EQ(HostByte(kDecalGreen), 0x00);
    EXPECT_EQ(HostByte(kDecalBlue), 0x00);
    EXPECT_EQ(HostByte(kDecalAlpha), 0x00);
    Draw(0x01);
    EXPECT_EQ(DrawnColour(), 0u);
    EXPECT_EQ(map[kMapFlags], 0x00);
}

// Four different values, so that a byte written from the wrong setting shows.
TEST_F(DecalColorAlphaTest, EachColourByteComesFromItsOwnSetting) {
    WriteIni("[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n"
             "[BloodDecal]\r\nRed=11\r\nGreen=22\r\nBlue=33\r\nAlpha=44\r\n[Logging]\r\nEnableLogging=1\r\n");
    StartPlugin();
    EXPECT_EQ(HostByte(kDecalRed), 11);
    EXPECT_EQ(HostByte(kDecalGreen), 22);
    EXPECT_EQ(HostByte(kDecalBlue), 33);
    EXPECT_EQ(HostByte(kDecalAlpha), 44);
    Draw(0x00);
    EXPECT_EQ(DrawnColour(), 0x2C21160Bu);
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[3],
              "Applying blood decal color/alpha patch with contained Wii-style source blend: red=11 "
              "green=22 blue=33 alpha=44");
}

// Pixels: three decals over a map of skin tone, judged at their middles.
TEST(DecalColorAlphaPixels, DecalsBlendAsTheFactorsInForceSay) {
    ASSERT_TRUE(DeviceStarted());
    for (const ColourSetting& setting : kColourSettings) {
        if (setting.patch && setting.red == 224) {
            continue; // the defaults: a picture only
        }
        const uint32_t colour =
            setting.patch ? setting.alpha << 24 | setting.red << 16 | setting.green << 8 | setting.blue
                          : 0xC0800000u;
        const Panel drawn = DrawDecalColours(setting);
        ASSERT_EQ(drawn.size(), kMapPixels * kMapPixels);
        for (const DecalSpot& spot : kDecalSpots) {
            EXPECT_TRUE(Near(PixelAt(drawn, spot), Blend(colour, kSkin, setting.patch ? 2 : 5, 6)))
                << setting.label;
        }
        EXPECT_EQ(drawn[0], kSkin) << "no decal there";
    }
}

// A broken restore would leave the source blend "one" for what the host draws next.
TEST(DecalColorAlphaPixels, WhatTheHostDrawsAfterTheDecalsBlendsWithSourceAlpha) {
    ASSERT_TRUE(DeviceStarted());
    const ColourSetting& setting = kColourSettings[2];
    const uint32_t decal =
        Blend(0xFF000000u | setting.red << 16 | setting.green << 8 | setting.blue, kSkin, 2, 6);
    const Panel drawn = DrawDecalColours(setting, kOverlay);
    ASSERT_EQ(drawn.size(), kMapPixels * kMapPixels);
    ASSERT_LT(kDecalSpots[0].x, 0.5f) << "under the overlay, which covers the left half";
    EXPECT_TRUE(Near(PixelAt(drawn, kDecalSpots[0]), Blend(kOverlay, decal, 5, 6)));
    EXPECT_TRUE(Near(drawn[0], Blend(kOverlay, kSkin, 5, 6)));
    EXPECT_TRUE(Near(PixelAt(drawn, kDecalSpots[1]), decal)) << "right of the overlay";
}
