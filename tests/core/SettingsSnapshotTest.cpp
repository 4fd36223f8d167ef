// The snapshot reads the INI beside its own module, this program, which has a
// folder of its own. CTest runs each test in a process of its own, so the
// first call in a test is the process's first.
#include "core/SettingsSnapshot.h"

#include "HostFiles.h"

#include <gtest/gtest.h>

namespace {

class SettingsSnapshotTest : public ::testing::Test {
  protected:
    const std::wstring ini = ExecutableDirectory() + L"Vorlaine.Crimsel.ini";

    void TearDown() override { DeleteFileW(ini.c_str()); }
};

} // namespace

TEST_F(SettingsSnapshotTest, TheFirstCallReadsTheIniAsItIsThen) {
    ASSERT_TRUE(WriteFileBytes(ini, "[BloodDecal]\r\nRed=12\r\n[Logging]\r\nLogExecutionDecals=1\r\n"));
    const PluginSettings& settings = GetSettings();
    EXPECT_EQ(settings.Red, 12);
    EXPECT_TRUE(settings.LogExecutionDecals);
}

// The hooks read the settings in the game's frames: a change to the file after
// start-up must not reach them, nor move the object they read.
TEST_F(SettingsSnapshotTest, LaterCallsKeepTheFirstReadingWhateverTheFileSaysSince) {
    ASSERT_TRUE(WriteFileBytes(ini, "[BloodDecal]\r\nRed=12\r\n[Logging]\r\nLogExecutionDecals=1\r\n"));
    const PluginSettings& first = GetSettings();
    ASSERT_TRUE(WriteFileBytes(ini, "[BloodDecal]\r\nRed=99\r\n[Logging]\r\nLogExecutionDecals=0\r\n"));
    const PluginSettings& later = GetSettings();
    EXPECT_EQ(&later, &first);
    EXPECT_EQ(later.Red, 12);
    EXPECT_TRUE(later.LogExecutionDecals);
}
