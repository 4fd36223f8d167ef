// A campaign of hostile INI files through the real start-up, a copy of the
// plug-in loaded per start as an ASI loader does: whatever the file holds,
// every key that the platform reads from it before start-up reads the same
// after it, nothing is left beside it, and a second start changes nothing.
#include "HostWorld.h"
#include "StandInHost.h"
#include "Utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <random>

namespace {

struct Key {
    const wchar_t* Section;
    const wchar_t* Name;
};

const Key kKeys[] = {{L"General", L"FixExecutionBloodDecals"},
                     {L"General", L"PatchBloodDecalColorAndAlpha"},
                     {L"General", L"FixStaleDamageMapDecals"},
                     {L"BloodDecal", L"Red"},
                     {L"BloodDecal", L"Green"},
                     {L"BloodDecal", L"Blue"},
                     {L"BloodDecal", L"Alpha"},
                     {L"Logging", L"EnableLogging"},
                     {L"Logging", L"LogDamageMapDiagnostics"},
                     {L"Logging", L"LogExecutionDecals"}};

// How a kind of file is made: the generator, how many files, and whether
// the plug-in must leave every byte of it as it is.
struct Kind {
    const char* Name;
    int Files;
    bool LeftByteForByte;
    std::function<std::string(std::mt19937&)> Make;
};

int Below(std::mt19937& random, int limit) {
    return std::uniform_int_distribution<int>(0, limit - 1)(random);
}

// An INI of the three sections in a random order, each with a random part of
// its keys in one of the forms users write, among comments, blank lines and
// keys of no section of ours, with the given line ends.
std::string Lines(std::mt19937& random, const std::vector<std::string>& ends) {
    static const char* const kValues[] = {"0",    "1",     "yes", "off",       "224",
                                          "0x80", "maybe", "-3",  "7 # seven", ""};
    static const char* const kForms[] = {"%ls=%s", "%ls = %s", "  %ls=%s", "\t%ls\t=%s"};
    static const char* const kOthers[] = {"; a comment", "# r\xC3\xB6t \xE4\xF6", "", "[Other]", "Unknown=1"};
    const auto end = [&] { return ends[static_cast<size_t>(Below(random, static_cast<int>(ends.size())))]; };
    std::vector<const wchar_t*> sections = {L"General", L"BloodDecal", L"Logging"};
    std::shuffle(sections.begin(), sections.end(), random);
    std::string text;
    for (const wchar_t* section : sections) {
        char line[128];
        std::snprintf(line, sizeof line, "[%ls]", section);
        text += line + end();
        for (const Key& key : kKeys) {
            if (std::wcscmp(key.Section, section) == 0 && Below(random, 4) != 0) {
                std::snprintf(line, sizeof line, kForms[Below(random, 4)], key.Name,
                              kValues[Below(random, static_cast<int>(std::size(kValues)))]);
                text += line + end();
            }
            if (Below(random, 3) == 0) {
                text += kOthers[Below(random, static_cast<int>(std::size(kOthers)))] + end();
            }
        }
    }
    return text;
}

std::string Sized(const std::string& head, size_t size) {
    std::string text = head;
    while (text.size() + 12 <= size) {
        text += "; padding\r\n";
    }
    return text + std::string(size - text.size(), ';');
}

const Kind kKinds[] = {
    {"random bytes", 20, false,
     [](std::mt19937& r) {
         std::string text(static_cast<size_t>(Below(r, 2048)), '\0');
         for (char& c : text) {
             c = static_cast<char>(Below(r, 256));
         }
         return text;
     }},
    {"text with NUL bytes", 10, true,
     [](std::mt19937& r) {
         std::string text = Lines(r, {"\r\n"});
         text.insert(static_cast<size_t>(Below(r, static_cast<int>(text.size()) + 1)), 1, '\0');
         return text;
     }},
    {"UTF-16 LE without BOM", 5, true, [](std::mt19937& r) { return Utf16(Lines(r, {"\r\n"}), false); }},
    {"UTF-16 BE without BOM", 5, true, [](std::mt19937& r) { return Utf16(Lines(r, {"\r\n"}), true); }},
    {"UTF-16 LE with BOM", 5, false,
     [](std::mt19937& r) { return "\xFF\xFE" + Utf16(Lines(r, {"\r\n"}), false); }},
    {"UTF-16 BE with BOM", 5, false,
     [](std::mt19937& r) { return "\xFE\xFF" + Utf16(Lines(r, {"\r\n"}), true); }},
    {"UTF-8 with BOM and invalid sequences", 10, false,
     [](std::mt19937& r) {
         return "\xEF\xBB\xBF" + Lines(r, {"\r\n", "\xC3\r\n", "\xFF\xFE\r\n", "\xE2\x80\r\n"});
     }},
    {"CR-only line ends", 10, false, [](std::mt19937& r) { return Lines(r, {"\r"}); }},
    {"mixed line ends", 10, false,
     [](std::mt19937& r) {
         return Lines(r, {"\r\n", "\n", "\r", "\n\r"});
     }},
    {"lines over 32,767 characters", 3, false,
     [](std::mt19937& r) {
         return Lines(r, {"\r\n"}) + "; " + std::string(40000, 'x') +
                "\r\n[BloodDecal]\r\nBlue=" + std::string(33000, '7') + "\r\n" + Lines(r, {"\r\n"});
     }},
    {"empty file", 1, false, [](std::mt19937&) { return std::string(); }},
    {"repeated sections and keys", 10, false,
     [](std::mt19937& r) {
         return Lines(r, {"\r\n"}) + Lines(r, {"\r\n"}) + "[General]\r\nRed=1\r\nRed=2\r\n";
     }},
    {"keys outside any section", 10, false,
     [](std::mt19937& r) { return "EnableLogging=1\r\nRed=5\r\n" + Lines(r, {"\r\n"}); }},
    {"values longer than 31 characters", 10, false,
     [](std::mt19937& r) {
         return "[BloodDecal]\r\nRed=" + std::string(40, '1') +
                "\r\n[General]\r\nFixStaleDamageMapDecals=" + std::string(35, ' ') + "0\r\n" +
                Lines(r, {"\r\n"});
     }},
    {"1 MiB", 1, false,
     [](std::mt19937&) {
         return Sized("[General]\r\nFixStaleDamageMapDecals=0\r\n[BloodDecal]\r\nRed=3\r\n", 1 << 20);
     }},
    {"1 MiB + 1", 1, true,
     [](std::mt19937&) {
         return Sized("[General]\r\nFixStaleDamageMapDecals=0\r\n[BloodDecal]\r\nRed=3\r\n", (1 << 20) + 1);
     }},
};

std::vector<std::wstring> Read(const std::wstring& ini) {
    std::vector<std::wstring> values;
    for (const Key& key : kKeys) {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(key.Section, key.Name, L"", value, 256, ini.c_str());
        values.push_back(value);
    }
    return values;
}

// The files in folder other than the plug-in's copies, the INI and the log.
std::vector<std::wstring> Strays(const std::wstring& folder,
                                 const std::wstring& ini = L"Vorlaine.Crimsel.ini") {
    std::vector<std::wstring> strays;
    for (const std::wstring& name : FolderEntries(folder)) {
        if (name != ini && name != L"Crimsel.log" && name.find(L".asi") == std::wstring::npos) {
            strays.push_back(name);
        }
    }
    return strays;
}

class HostileIniTest : public ::testing::Test {
  protected:
    std::vector<uint8_t> pristine = CopyHostCode();
    int keysCompared = 0;

    // One start of a fresh copy of the plug-in, named name, from folder, on the game's own code.
    void Start(const std::wstring& folder, const wchar_t* name) {
        WriteHostCode(AddressOf(HostCodeStart), pristine);
        if (std::wstring(name) != L"Vorlaine.Crimsel.asi") {
            ASSERT_TRUE(
                CopyFileW((folder + L"Vorlaine.Crimsel.asi").c_str(), (folder + name).c_str(), FALSE));
        }
        HMODULE module = LoadLibraryW((folder + name).c_str());
        ASSERT_NE(module, nullptr);
        volatile InitializeAsiFunction initialize =
            reinterpret_cast<InitializeAsiFunction>(GetProcAddress(module, "InitializeASI"));
        ASSERT_NE(initialize, nullptr);
        initialize();
    }

    // The oracle, for a file already in place at folder's INI path.
    void Campaign(const std::wstring& folder, bool leftByteForByte) {
        const std::wstring ini = folder + L"Vorlaine.Crimsel.ini";
        const std::string before = ReadFileBytes(ini);
        const std::vector<std::wstring> read = Read(ini);
        Start(folder, L"Vorlaine.Crimsel.asi");
        const std::string once = ReadFileBytes(ini);
        const std::vector<std::wstring> after = Read(ini);
        for (size_t k = 0; k < read.size(); ++k) {
            if (!read[k].empty()) {
                ++keysCompared;
                EXPECT_EQ(after[k], read[k]) << "key " << k;
            }
        }
        if (leftByteForByte) {
            EXPECT_TRUE(once == before) << "the file changed";
        }
        EXPECT_TRUE(Strays(folder).empty()) << "left beside the INI: " << Strays(folder).size();
        Start(folder, L"second.asi");
        EXPECT_TRUE(ReadFileBytes(ini) == once) << "a second start changed the file";
        EXPECT_TRUE(Strays(folder).empty());
    }
};

class HostileIniKinds : public HostileIniTest, public ::testing::WithParamInterface<size_t> {};

} // namespace

TEST_P(HostileIniKinds, EveryKeyReadsTheSameAndNothingIsLeftBeside) {
    const Kind& kind = kKinds[GetParam()];
    std::mt19937 random(20261207u + static_cast<unsigned>(GetParam()));
    int unchanged = 0;
    for (int n = 0; n < kind.Files; ++n) {
        const std::string text = kind.Make(random);
        const std::wstring folder =
            CreateGameFolder(L"hostile-" + std::to_wstring(GetParam()) + L"-" + std::to_wstring(n));
        ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", text));
        SCOPED_TRACE(std::string(kind.Name) + ", file " + std::to_string(n));
        Campaign(folder, kind.LeftByteForByte);
        unchanged += ReadFileBytes(folder + L"Vorlaine.Crimsel.ini") == text ? 1 : 0;
        if (HasFatalFailure()) {
            return;
        }
    }
    std::printf("hostile INI files, %s: %d files, %d left byte for byte, %d keys compared\n", kind.Name,
                kind.Files, unchanged, keysCompared);
}

INSTANTIATE_TEST_SUITE_P(Campaign, HostileIniKinds, ::testing::Range(size_t{0}, std::size(kKinds)));

TEST_F(HostileIniTest, AReadOnlyFileIsLeftByteForByte) {
    const std::wstring folder = CreateGameFolder(L"hostile-read-only");
    const std::string text = "[General]\r\nFixStaleDamageMapDecals=0\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", text));
    SetFileAttributesW((folder + L"Vorlaine.Crimsel.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    Campaign(folder, true);
    std::printf("hostile INI files, read-only: 1 file, %d keys compared\n", keysCompared);
}

TEST_F(HostileIniTest, ADirectoryInPlaceOfTheIniStaysOne) {
    const std::wstring folder = CreateGameFolder(L"hostile-directory");
    ASSERT_TRUE(CreateDirectoryW((folder + L"Vorlaine.Crimsel.ini").c_str(), nullptr));
    Start(folder, L"Vorlaine.Crimsel.asi");
    Start(folder, L"second.asi");
    EXPECT_TRUE(GetFileAttributesW((folder + L"Vorlaine.Crimsel.ini").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(Strays(folder).empty());
}

// tests/make_linked_ini.sh links linked-start\game\Vorlaine.Crimsel.ini to ..\shared\shared.ini.
TEST_F(HostileIniTest, AnIniThatIsALinkStaysALink) {
    const std::wstring linked = ExecutableDirectory() + L"linked-start\\";
    const std::wstring game = linked + L"game\\";
    ASSERT_TRUE(CopyFileW((ExecutableDirectory() + L"Vorlaine.Crimsel.asi").c_str(),
                          (game + L"Vorlaine.Crimsel.asi").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(linked + L"shared\\shared.ini", "[General]\r\nFixStaleDamageMapDecals=0\r\n"));
    Campaign(game, false);
    EXPECT_TRUE(Strays(linked + L"shared\\", L"shared.ini").empty());
    const std::string shared = ReadFileBytes(linked + L"shared\\shared.ini");
    EXPECT_EQ(shared.rfind("# Developed by", 0), 0u) << "completed at its target";
    // Written through its name, the target changes: the link is still there.
    ASSERT_TRUE(WriteFileBytes(game + L"Vorlaine.Crimsel.ini", "[x]\r\n"));
    EXPECT_EQ(ReadFileBytes(linked + L"shared\\shared.ini"), "[x]\r\n");
}
