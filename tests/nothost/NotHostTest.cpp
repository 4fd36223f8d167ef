// The real plug-in loaded into programs that are not the game, as a player's
// ASI loader would load it into another game: nothing may be written. Built
// twice: with an image of other bytes over the game's addresses (OTHER_IMAGE),
// and as a program linked elsewhere, with no image there at all.
#include "EverythingOnIni.h"
#include "HostLayout.h"
#include "StandInHost.h"

#include <gtest/gtest.h>

namespace {

#ifdef OTHER_IMAGE
extern "C" const uint8_t OtherCodeStart[];
extern "C" const uint8_t OtherCodeEnd[];
const wchar_t kFolder[] = L"NotHost.OtherImage";
const char kWhy[] =
    "Host not recognised: 0x005AD857 holds CC CC CC CC CC, not a call of 0x005A9640; nothing patched";
#else
const wchar_t kFolder[] = L"NotHost.NoImage";
const char kWhy[] =
    "Host not recognised: 0x005AD857 is not in the game's executable image at 0x00400000; nothing "
    "patched";
#endif

} // namespace

TEST(NotHost, NothingIsWrittenAndTheLogSaysWhy) {
#ifdef OTHER_IMAGE
    ASSERT_EQ(reinterpret_cast<uintptr_t>(OtherCodeStart), kCodeBase);
    const std::vector<uint8_t> before(OtherCodeStart, OtherCodeEnd);
#else
    ASSERT_NE(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)), kImageBase);
#endif
    const std::wstring folder = CreateGameFolder(kFolder);
    ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", kEverythingIni));
    const LoadedPlugin plugin = LoadPlugin(folder);
    ASSERT_NE(plugin.InitializeASI, nullptr);
    volatile InitializeAsiFunction initialize = plugin.InitializeASI;
    initialize();

    const std::vector<std::string> entries = LogEntries(ReadFileBytes(folder + L"Crimsel.log"));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[3], kWhy);
#ifdef OTHER_IMAGE
    EXPECT_TRUE(std::vector<uint8_t>(OtherCodeStart, OtherCodeEnd) == before);
#endif
}
