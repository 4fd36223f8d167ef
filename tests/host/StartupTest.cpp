// Start-up of the real plug-in, loaded into the stand-in host as an ASI loader does.
#include "StandInHost.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::regex kPrefix(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] )");

class StartupTest : public ::testing::Test {
  protected:
    std::wstring folder;
    std::vector<HostByteChange> changes;

    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        folder = CreateGameFolder(std::wstring(name.begin(), name.end()));
    }

    void WriteIni(const std::string& text) {
        ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", text));
    }

    void StartPlugin() {
        const std::vector<uint8_t> before = CopyHostCode();
        const LoadedPlugin plugin = LoadPlugin(folder);
        ASSERT_NE(plugin.Module, nullptr);
        ASSERT_NE(plugin.InitializeASI, nullptr);
        volatile InitializeAsiFunction initialize = plugin.InitializeASI;
        initialize();
        changes = CompareHostCode(before, CopyHostCode());
    }

    std::string Log() { return ReadFileBytes(folder + L"Crimsel.log"); }

    std::vector<std::string> Entries() {
        const std::string log = Log();
        for (size_t start = 0; start < log.size(); start = log.find("\r\n", start) + 2) {
            EXPECT_TRUE(std::regex_search(log.begin() + static_cast<std::ptrdiff_t>(start), log.end(),
                                          kPrefix, std::regex_constants::match_continuous))
                << "entry at byte " << start;
            if (log.find("\r\n", start) == std::string::npos) {
                ADD_FAILURE() << "the log does not end with CR LF";
                break;
            }
        }
        return LogEntries(log);
    }
};

const char kAllFeaturesOff[] = "[General]\r\n"
                               "FixExecutionBloodDecals=0\r\n"
                               "PatchBloodDecalColorAndAlpha=0\r\n"
                               "FixStaleDamageMapDecals=0\r\n"
                               "[Logging]\r\n"
                               "EnableLogging=1\r\n"
                               "LogDamageMapDiagnostics=0\r\n";

} // namespace

TEST_F(StartupTest, AllFeaturesOffChangesNoHostByteAndLogsTheDisabledLines) {
    WriteIni(kAllFeaturesOff);
    StartPlugin();
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(Entries(), (std::vector<std::string>{
                             "Logger initialized",
                             "InitializeASI",
                             "Settings: FixExecutionBloodDecals=0 PatchBloodDecalColorAndAlpha=0 "
                             "FixStaleDamageMapDecals=0 EnableLogging=1 LogDamageMapDiagnostics=0 "
                             "LogExecutionDecals=0 RGB/A=224,224,224,255",
                             "Blood decal color/alpha patch disabled",
                             "Execution blood decal hook disabled",
                         }));
}

TEST_F(StartupTest, SettingsLineShowsTheValuesAsRead) {
    WriteIni("[General]\r\n"
             "FixExecutionBloodDecals=off\r\n"
             "PatchBloodDecalColorAndAlpha=0\r\n"
             "FixStaleDamageMapDecals=NO\r\n"
             "[BloodDecal]\r\n"
             "Red=300\r\n"
             "Green=0x80\r\n"
             "Blue=-5\r\n"
             "Alpha=abc\r\n"
             "[Logging]\r\n"
             "EnableLogging=Yes\r\n"
             "LogDamageMapDiagnostics=0\r\n"
             "LogExecutionDecals=2\r\n");
    StartPlugin();
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[2], "Settings: FixExecutionBloodDecals=0 PatchBloodDecalColorAndAlpha=0 "
                          "FixStaleDamageMapDecals=0 EnableLogging=1 LogDamageMapDiagnostics=0 "
                          "LogExecutionDecals=1 RGB/A=255,128,0,255");
}

TEST_F(StartupTest, LoggingOnEmptiesTheLogOfAnEarlierRun) {
    WriteFileBytes(folder + L"Crimsel.log", "[2020-01-01 00:00:00.000] an earlier run\r\n");
    WriteIni(kAllFeaturesOff);
    StartPlugin();
    const std::vector<std::string> entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), "Logger initialized");
    EXPECT_EQ(Log().find("an earlier run"), std::string::npos);
}

TEST_F(StartupTest, LoggingOffCreatesNoLogAndKeepsAnOldOne) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n");
    StartPlugin();
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));

    const std::string old = "[2020-01-01 00:00:00.000] an earlier run\r\n";
    WriteFileBytes(folder + L"Crimsel.log", old);
    const LoadedPlugin plugin = LoadPlugin(folder);
    volatile InitializeAsiFunction again = plugin.InitializeASI;
    again();
    EXPECT_EQ(Log(), old);
}

TEST_F(StartupTest, InitializeAsiIsTheExportAtOrdinalOne) {
    const LoadedPlugin plugin = LoadPlugin(folder);
    ASSERT_NE(plugin.Module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(plugin.Module, MAKEINTRESOURCEA(1))),
              reinterpret_cast<void*>(plugin.InitializeASI));
    EXPECT_EQ(GetProcAddress(plugin.Module, MAKEINTRESOURCEA(2)), nullptr);
}
