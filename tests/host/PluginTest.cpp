// Start-up of the real plug-in, loaded into the stand-in host as an ASI loader does.
#include "AddressSpaceReservation.h"
#include "IniTemplate.h"
#include "PluginScenario.h"

#include <algorithm>

namespace {

using PluginTest = PluginScenario;

const char kAllFeaturesOff[] = "[General]\r\n"
                               "FixExecutionBloodDecals=0\r\n"
                               "PatchBloodDecalColorAndAlpha=0\r\n"
                               "FixStaleDamageMapDecals=0\r\n"
                               "[Logging]\r\n"
                               "EnableLogging=1\r\n"
                               "LogDamageMapDiagnostics=0\r\n";

} // namespace

TEST_F(PluginTest, AllFeaturesOffChangesNoHostByteAndLogsTheDisabledLines) {
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

TEST_F(PluginTest, DefaultsWithLoggingOnInstallTheDefaultFeaturesInOrder) {
    WriteIni("[Logging]\r\nEnableLogging=1\r\n");
    StartPlugin();
    EXPECT_EQ(Entries(), (std::vector<std::string>{
                             "Logger initialized",
                             "InitializeASI",
                             "Settings: FixExecutionBloodDecals=1 PatchBloodDecalColorAndAlpha=0 "
                             "FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=0 "
                             "LogExecutionDecals=0 RGB/A=224,224,224,255",
                             "Blood decal color/alpha patch disabled",
                             "Installing execution blood decal hook at 0x005AD857",
                             "Installing stale damage-map clear blend hook: setup=0x005BB33B",
                         }));
    ExpectOnlyTheDefaultFixes();
}

TEST_F(PluginTest, AllFeaturesOnLogEachInstallBeforeItsBytesInOrder) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=1\r\nPatchBloodDecalColorAndAlpha=1\r\n"
             "FixStaleDamageMapDecals=1\r\n[Logging]\r\nEnableLogging=1\r\nLogDamageMapDiagnostics=1\r\n");
    StartPlugin();
    EXPECT_EQ(Entries(), (std::vector<std::string>{
                             "Logger initialized",
                             "InitializeASI",
                             "Settings: FixExecutionBloodDecals=1 PatchBloodDecalColorAndAlpha=1 "
                             "FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=1 "
                             "LogExecutionDecals=0 RGB/A=224,224,224,255",
                             "Applying blood decal color/alpha patch with contained Wii-style source blend: "
                             "red=224 green=224 blue=224 alpha=255",
                             "Installing CharacterDamageMap blend restore hook at 0x005BB512",
                             "Installing execution blood decal hook at 0x005AD857",
                             "Installing CharacterDamageManager diagnostics hook at call 0x005BB163",
                             "Installing stale damage-map clear blend hook: setup=0x005BB33B",
                         }));
}

TEST_F(PluginTest, SettingsLineShowsTheValuesAsRead) {
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

TEST_F(PluginTest, LoggingOnEmptiesTheLogOfAnEarlierRun) {
    WriteFileBytes(folder + L"Crimsel.log", "[2020-01-01 00:00:00.000] an earlier run\r\n");
    WriteIni(kAllFeaturesOff);
    StartPlugin();
    const std::vector<std::string> entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), "Logger initialized");
    EXPECT_EQ(Log().find("an earlier run"), std::string::npos);
}

TEST_F(PluginTest, LoggingOffCreatesNoLogAndKeepsAnOldOne) {
    WriteIni("[General]\r\nFixExecutionBloodDecals=0\r\nFixStaleDamageMapDecals=0\r\n");
    StartPlugin();
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));

    const std::string old = "[2020-01-01 00:00:00.000] an earlier run\r\n";
    WriteFileBytes(folder + L"Crimsel.log", old);
    const LoadedPlugin again = LoadPlugin(folder);
    volatile InitializeAsiFunction initialize = again.InitializeASI;
    initialize();
    EXPECT_EQ(Log(), old);
}

TEST_F(PluginTest, InitializeAsiIsTheExportAtOrdinalOne) {
    plugin = LoadPlugin(folder);
    ASSERT_NE(plugin.Module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(plugin.Module, MAKEINTRESOURCEA(1))),
              reinterpret_cast<void*>(plugin.InitializeASI));
    EXPECT_EQ(GetProcAddress(plugin.Module, MAKEINTRESOURCEA(2)), nullptr);
}

TEST_F(PluginTest, AFirstStartWritesTheTemplateAndReadsItsDefaults) {
    ASSERT_FALSE(FileExists(folder + L"Vorlaine.Crimsel.ini"));
    StartPlugin();
    const std::string ini = ReadFileBytes(folder + L"Vorlaine.Crimsel.ini");
    EXPECT_EQ(ini, kTemplate);
    ExpectOnlyTheDefaultFixes();
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
}

TEST_F(PluginTest, AReadOnlyIniIsReadAndLeftByteForByte) {
    const std::string ini = "[Logging]\r\nEnableLogging=1\r\n[BloodDecal]\r\nRed=12\r\n";
    WriteIni(ini);
    SetFileAttributesW((folder + L"Vorlaine.Crimsel.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    StartPlugin();
    SetFileAttributesW((folder + L"Vorlaine.Crimsel.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(folder + L"Vorlaine.Crimsel.ini"), ini);
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_NE(entries[2].find(" RGB/A=12,224,224,255"), std::string::npos) << entries[2];
}

TEST_F(PluginTest, ADirectoryInPlaceOfTheIniGivesTheDefaults) {
    ASSERT_TRUE(CreateDirectoryW((folder + L"Vorlaine.Crimsel.ini").c_str(), nullptr));
    StartPlugin();
    EXPECT_FALSE(FileExists(folder + L"Crimsel.log"));
    ExpectOnlyTheDefaultFixes();
}

// The platform's key writer keeps a UTF-16 file's values; its lines are not edited.
TEST_F(PluginTest, AnIniLeftPartlyAsItIsIsNamedInTheLogAfterTheSettings) {
    std::string ini = "\xFF\xFE";
    for (char c : std::string("[Logging]\r\nEnableLogging=1\r\n[BloodDecal]\r\nRed=9\r\n")) {
        ini += c;
        ini += '\0';
    }
    WriteIni(ini);
    StartPlugin();
    const std::vector<std::string> entries = Entries();
    ASSERT_GE(entries.size(), 5u);
    EXPECT_NE(entries[2].find(" RGB/A=9,224,224,255"), std::string::npos) << entries[2];
    EXPECT_EQ(entries[3], "Vorlaine.Crimsel.ini is UTF-16 text: missing keys were added, no comments");
    EXPECT_EQ(entries[4], "Blood decal color/alpha patch disabled");
}

// Completing a 1 MiB INI runs out of memory: the error must not reach the
// loader, the file stays as it was, and start-up goes on with what the
// platform reads.
TEST_F(PluginTest, AnAllocationFailureWhileTheIniIsCompletedLeavesItAsItWas) {
    std::string ini = "[General]\r\nFixStaleDamageMapDecals=0\r\n";
    ini += std::string((1 << 20) - ini.size(), ';');
    WriteIni(ini);
    plugin = LoadPlugin(folder);
    ASSERT_NE(plugin.InitializeASI, nullptr);
    volatile InitializeAsiFunction initialize = plugin.InitializeASI;
    {
        const AddressSpaceReservation reservation;
        initialize();
    }
    EXPECT_EQ(ReadFileBytes(folder + L"Vorlaine.Crimsel.ini"), ini);
    EXPECT_TRUE(CallsIntoPlugin(kExecutionUpdateCall));
    EXPECT_FALSE(FileExists(folder + L"Vorlaine.Crimsel.ini.rewrite"));
}

namespace {

const char kUsersIni[] = "[General]\r\nPatchBloodDecalColorAndAlpha=1\r\n[BloodDecal]\r\nRed=10\r\n"
                         "[Logging]\r\nEnableLogging=1\r\n";

// A file holding anything, written at or after a moment.
bool WrittenSince(const std::wstring& path, const FILETIME& moment) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           (data.nFileSizeLow != 0 || data.nFileSizeHigh != 0) &&
           CompareFileTime(&data.ftLastWriteTime, &moment) >= 0;
}

// Under Wine nothing limits a path to MAX_PATH characters: a plug-in may lie deeper.
class LongPathTest : public PluginScenario {
  protected:
    // NestedFolder, with the plug-in moved into its deepest folder.
    std::wstring Nest(const std::vector<std::wstring>& levels) {
        const std::wstring path = NestedFolder(levels);
        EXPECT_TRUE(
            MoveFileW((folder + L"Vorlaine.Crimsel.asi").c_str(), (path + L"Vorlaine.Crimsel.asi").c_str()));
        return path;
    }

    // The user's INI beside a plug-in at the end of these folders is read and
    // completed in place, and nothing is written anywhere else.
    void ExpectTheUsersIniReadFrom(const std::vector<std::wstring>& levels) {
        const std::wstring deep = Nest(levels);
        ASSERT_GE(deep.size() - 4 + std::strlen("Vorlaine.Crimsel.ini"), size_t{MAX_PATH});
        ASSERT_TRUE(WriteFileBytes(deep + L"Vorlaine.Crimsel.ini", kUsersIni));
        StartPluginFrom(deep);
        const std::vector<std::string> entries = WholeEntries(ReadFileBytes(deep + L"Crimsel.log"));
        ASSERT_GE(entries.size(), 4u);
        EXPECT_EQ(entries[2], "Settings: FixExecutionBloodDecals=1 PatchBloodDecalColorAndAlpha=1 "
                              "FixStaleDamageMapDecals=1 EnableLogging=1 LogDamageMapDiagnostics=0 "
                              "LogExecutionDecals=0 RGB/A=10,224,224,255");
        EXPECT_TRUE(JumpsIntoPlugin(kDrawingEnd));
        const std::string ini = ReadFileBytes(deep + L"Vorlaine.Crimsel.ini");
        EXPECT_EQ(ini.rfind("# Developed by", 0), 0u) << "completed in place:\n" << ini;
        EXPECT_NE(ini.find("Red=10\r\n"), std::string::npos);
        EXPECT_EQ(FolderEntries(deep), (std::vector<std::wstring>{L"Crimsel.log", L"Vorlaine.Crimsel.asi",
                                                                  L"Vorlaine.Crimsel.ini"}));
        ExpectNothingAbove(levels);
    }

    // Every folder above the plug-in's holds the next one alone, and the platform's
    // INI functions put nothing in the Windows folder.
    void ExpectNothingAbove(const std::vector<std::wstring>& levels) {
        std::wstring path = L"\\\\?\\" + folder;
        for (const std::wstring& level : levels) {
            EXPECT_EQ(FolderEntries(path), std::vector<std::wstring>{level});
            path += level + L"\\";
        }
        wchar_t windows[MAX_PATH] = {};
        GetWindowsDirectoryW(windows, MAX_PATH);
        EXPECT_FALSE(FileExists(std::wstring(windows) + L"\\Vorlaine.Crimsel.ini"));
    }
};

} // namespace

TEST_F(LongPathTest, ReadsTheUsersIniBesideItAndWritesNothingElsewhere) {
    ExpectTheUsersIniReadFrom({std::wstring(200, L'a'), std::wstring(100, L'b')});
}

// A folder short enough on its own, whose INI's path is not: by the short form too.
TEST_F(LongPathTest, AFolderUnder260WhoseIniPathIsLongerReadsTheUsersIni) {
    const size_t folderLength = 250;
    ASSERT_LT(folder.size() + 1, folderLength);
    ExpectTheUsersIniReadFrom({std::wstring(folderLength - folder.size() - 1, L'c')});
}

// So deep that even the folder's short form is too long: the defaults, and no file anywhere.
TEST_F(LongPathTest, TooDeepForAnyFormStartsWithTheDefaultsAndWritesNoFile) {
    std::vector<std::wstring> levels;
    for (int level = 10; level < 36; ++level) {
        levels.push_back(L"level-of-a-deep-folder-" + std::to_wstring(level));
    }
    const std::wstring deep = Nest(levels);
    ASSERT_TRUE(WriteFileBytes(deep + L"Vorlaine.Crimsel.ini", kUsersIni));
    // The process's current folder, empty: a bare file name would land there.
    const std::wstring current = folder.substr(0, folder.size() - 1) + L"-current\\";
    CreateDirectoryW(current.c_str(), nullptr);
    for (const std::wstring& name : FolderEntries(current)) {
        DeleteFileW((current + name).c_str());
    }
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(current.c_str());
    FILETIME started{};
    GetSystemTimeAsFileTime(&started);
    StartPluginFrom(deep);
    SetCurrentDirectoryW(previous);
    ExpectOnlyTheDefaultFixes();
    EXPECT_EQ(ReadFileBytes(deep + L"Vorlaine.Crimsel.ini"), kUsersIni);
    EXPECT_EQ(FolderEntries(deep),
              (std::vector<std::wstring>{L"Vorlaine.Crimsel.asi", L"Vorlaine.Crimsel.ini"}));
    ExpectNothingAbove(levels);
    EXPECT_EQ(FolderEntries(current), std::vector<std::wstring>{});
    // The game's folder: the tests' programs stand there, one of which may leave an empty INI.
    for (const wchar_t* name : {L"Vorlaine.Crimsel.ini", L"Crimsel.log"}) {
        EXPECT_FALSE(WrittenSince(ExecutableDirectory() + name, started)) << "beside the game";
    }
}
