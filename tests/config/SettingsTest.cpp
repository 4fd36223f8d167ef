#include "config/Settings.h"

#include "config/PluginPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>
#include <windows.h>

namespace {

// The files written, removed as the test's process ends.
class WrittenFiles : public ::testing::Environment {
  public:
    std::vector<std::wstring> paths;
    void TearDown() override {
        for (const std::wstring& path : paths) {
            DeleteFileW(path.c_str());
        }
    }
};
WrittenFiles* const written =
    static_cast<WrittenFiles*>(::testing::AddGlobalTestEnvironment(new WrittenFiles)); // gtest owns it

// Each value gets an INI file of its own, so no platform cache can answer for an older one.
std::wstring WriteIni(const std::string& text) {
    static int counter = 0;
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"settings_test_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter) +
                              L".ini";
    std::ofstream(path.c_str(), std::ios::binary) << text;
    written->paths.push_back(path);
    return path;
}

std::wstring IniWithValue(const std::string& value) {
    return WriteIni("[S]\r\nKey=" + value + "\r\n");
}

struct BoolCase {
    const char* value;
    bool expected;
};

struct ByteCase {
    const char* value;
    int expected; // -1: the key's default
};

} // namespace

TEST(ReadIniBool, ReadsWordsCaseBlindAndNumbersByTheirLeadingDigits) {
    const BoolCase cases[] = {{"TRUE", true}, {"Yes", true},  {"ON", true},   {"False", false}, {"NO", false},
                              {"off", false}, {"2", true},    {"-1", true},   {"0", false},     {"00", false},
                              {"0x0", false}, {"1abc", true}, {"0x1F", true}, {"010", true}};
    for (const BoolCase& c : cases) {
        const std::wstring path = IniWithValue(c.value);
        // Both defaults: a word or a number must never fall back to the default.
        EXPECT_EQ(ReadIniBool(path, L"S", L"Key", true), c.expected) << c.value;
        EXPECT_EQ(ReadIniBool(path, L"S", L"Key", false), c.expected) << c.value;
    }
}

TEST(ReadIniBool, UnreadableEmptyOrMissingValuesGiveTheDefault) {
    for (const char* value : {"enabled", "y", "", "abc1", "-", "0x"}) {
        const std::wstring path = IniWithValue(value);
        EXPECT_TRUE(ReadIniBool(path, L"S", L"Key", true)) << value;
        EXPECT_FALSE(ReadIniBool(path, L"S", L"Key", false)) << value;
    }
    const std::wstring path = IniWithValue("1");
    EXPECT_TRUE(ReadIniBool(path, L"S", L"Missing", true));
    EXPECT_FALSE(ReadIniBool(path, L"S", L"Missing", false));
    EXPECT_FALSE(ReadIniBool(path, L"Other", L"Key", false));
    EXPECT_TRUE(ReadIniBool(path + L".absent", L"S", L"Key", true));
}

TEST(ReadIniBool, JudgesOnlyTheFirst31Characters) {
    // 31 zeros then a 1: cut, the value is 0; read whole, it would be 1.
    const std::wstring path = IniWithValue(std::string(31, '0') + "1");
    EXPECT_FALSE(ReadIniBool(path, L"S", L"Key", true));
}

TEST(ReadIniByte, ConvertsInBaseZeroAndClampsToAByte) {
    const ByteCase cases[] = {{"128", 128},  {"0x80", 128},        {"010", 8},         {"08", 0},
                              {"300", 255},  {"-20", 0},           {"abc", -1},        {"", -1},
                              {"0", 0},      {"255", 255},         {"256", 255},       {"12px", 12},
                              {"0XfF", 255}, {"99999999999", 255}, {"-99999999999", 0}};
    for (const ByteCase& c : cases) {
        const std::wstring path = IniWithValue(c.value);
        for (uint8_t defaultValue : {uint8_t{224}, uint8_t{255}}) {
            const int expected = c.expected < 0 ? defaultValue : c.expected;
            EXPECT_EQ(ReadIniByte(path, L"BloodDecal", L"Red", defaultValue), defaultValue)
                << "other section";
            EXPECT_EQ(ReadIniByte(path, L"S", L"Key", defaultValue), expected) << c.value;
        }
    }
}

TEST(ReadIniByte, JudgesOnlyTheFirst31Characters) {
    // Cut to 31 characters this reads octal 01; whole it would be octal 012.
    const std::wstring path = IniWithValue(std::string(30, '0') + "12");
    EXPECT_EQ(ReadIniByte(path, L"S", L"Key", 224), 1);
}

TEST(ReadIniByte, MissingFileGivesTheDefault) {
    EXPECT_EQ(ReadIniByte(L"Z:\\no\\such\\folder\\x.ini", L"BloodDecal", L"Alpha", 255), 255);
    EXPECT_EQ(ReadIniByte(L"Z:\\no\\such\\folder\\x.ini", L"BloodDecal", L"Red", 224), 224);
}

// The defaults, spelled here on their own rather than taken from the settings table.
TEST(LoadSettings, AnEmptyReadOnlyIniGivesTheDefaults) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring ini = DirectoryOfPath(module) + L"Vorlaine.Crimsel.ini";
    std::ofstream(ini.c_str(), std::ios::binary | std::ios::trunc).close();
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    const PluginSettings settings = LoadSettings();
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(ini.c_str());
    EXPECT_EQ(settings.FixExecutionBloodDecals, true);
    EXPECT_EQ(settings.PatchBloodDecalColorAndAlpha, false);
    EXPECT_EQ(settings.FixStaleDamageMapDecals, true);
    EXPECT_EQ(settings.EnableLogging, false);
    EXPECT_EQ(settings.LogDamageMapDiagnostics, false);
    EXPECT_EQ(settings.LogExecutionDecals, false);
    EXPECT_EQ(settings.Red, 224);
    EXPECT_EQ(settings.Green, 224);
    EXPECT_EQ(settings.Blue, 224);
    EXPECT_EQ(settings.Alpha, 255);
}
