// Creating and completing the INI file, on files in a folder of each test's own.
#include "config/IniFile.h"
#include "config/IniKeys.h"
#include "config/Settings.h"

#include "AddressSpaceReservation.h"
#include "HostFiles.h"
#include "IniTemplate.h"
#include "Utf16.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::string kCredits = "# Developed by Ketterly/Marrowby based on Orrisbane's Brindlekit";
const std::string kFixExecutionComment =
    "# Fixes missing execution blood decals when executions are non-interactive. Thanks to Orrisbane.";
const std::string kPatchComment =
    "# Patches blood decals to render more like the Wii version and enables RGB/alpha overrides.";
const std::string kStaleComment = "# Fixes stale blood decal maps appearing on newly spawned hunters.";

// The template without its credits line and the empty line after it.
std::string TemplateBody() {
    return kTemplate.substr(kCredits.size() + 4);
}

// True when a rewrite left anything beside the INI in folder.
bool FilesLeftBeside(const std::wstring& folder) {
    for (const wchar_t* pattern : {L"*.tmp", L"*.rewrite", L"*.replaced"}) {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + pattern).c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            return true;
        }
    }
    return false;
}

class IniFileTest : public ::testing::Test {
  protected:
    std::wstring folder;
    std::wstring path;

    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = std::wstring(temp) + L"ini_" + std::wstring(name.begin(), name.end()) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        path = folder + L"Vorlaine.Crimsel.ini";
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        RemoveDirectoryW(path.c_str());
    }

    void Write(const std::string& bytes) { WriteFileBytes(path, bytes); }

    std::string Read() { return ReadFileBytes(path); }

    std::wstring Value(const wchar_t* section, const wchar_t* key) {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(section, key, L"<absent>", value, 256, path.c_str());
        return value;
    }

    std::vector<std::string> Lines() {
        const std::string bytes = Read();
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < bytes.size()) {
            const size_t end = bytes.find("\r\n", start);
            EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
            if (end == std::string::npos) {
                break;
            }
            lines.push_back(bytes.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // The index of the first line equal to text, or -1.
    int Find(const std::string& text) {
        const std::vector<std::string> lines = Lines();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    bool TemporaryFilesLeft() { return FilesLeftBeside(folder); }

    // The folder goes with everything a test left in it: the temp folder stays as the run found it.
    void TearDown() override {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = folder + entry.cFileName;
                SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    DeleteFileW(name.c_str());
                } else if (entry.cFileName != std::wstring(L".") && entry.cFileName != std::wstring(L"..")) {
                    RemoveDirectoryW(name.c_str());
                }
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }
};

} // namespace

TEST_F(IniFileTest, NoFileGetsTheTemplateByteForByteAndKeepsIt) {
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
    EXPECT_FALSE(TemporaryFilesLeft());
}

TEST_F(IniFileTest, EmptyFileGetsEveryKeyThenTheCreditsThenTheComments) {
    Write("");
    EnsureIniFile(path);
    for (const IniKey& key : kIniKeys) {
        EXPECT_EQ(Value(key.Section, key.Key), key.DefaultText) << key.Section << "/" << key.Key;
    }
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], kCredits);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(Find("FixExecutionBloodDecals=1"), Find(kFixExecutionComment) + 1);
    EXPECT_EQ(Find("PatchBloodDecalColorAndAlpha=0"), Find(kPatchComment) + 1);
    EXPECT_EQ(Find("FixStaleDamageMapDecals=1"), Find(kStaleComment) + 1);
    EXPECT_NE(Find(kStaleComment), -1);

    const std::string once = Read();
    EnsureIniFile(path);
    EXPECT_EQ(Read(), once);
}

TEST_F(IniFileTest, CreditsAnywhereAreNotAddedTwice) {
    const std::string body = TemplateBody();
    const std::string text = body.substr(0, body.find("[BloodDecal]")) + kCredits + "\r\n" +
                             body.substr(body.find("[BloodDecal]"));
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), text);
}

TEST_F(IniFileTest, CreditsGoAboveWithAnEmptyLineUnlessTheFirstLineIsEmpty) {
    Write(TemplateBody());
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);

    Write("\r\n" + TemplateBody());
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kCredits + "\r\n\r\n" + TemplateBody());
}

TEST_F(IniFileTest, EmptyValuesGetTheirDefaultAndOtherValuesStay) {
    std::string text = kTemplate;
    text.replace(text.find("FixExecutionBloodDecals=1"), 25, "FixExecutionBloodDecals=");
    text.replace(text.find("Red=224"), 7, "Red=maybe");
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Value(L"General", L"FixExecutionBloodDecals"), L"1");
    EXPECT_EQ(Value(L"BloodDecal", L"Red"), L"maybe");
}

TEST_F(IniFileTest, OnlyAnExactGeneralHeaderGetsComments) {
    for (const char* header : {"[general]", " [General]"}) {
        const std::string body = TemplateBody();
        std::string text;
        for (const std::string& line :
             {std::string(header), std::string("FixExecutionBloodDecals=0"),
              std::string("PatchBloodDecalColorAndAlpha=1"), std::string("FixStaleDamageMapDecals=0")}) {
            text += line + "\r\n";
        }
        text = kCredits + "\r\n\r\n" + text + body.substr(body.find("\r\n[BloodDecal]"));
        Write(text);
        EnsureIniFile(path);
        EXPECT_EQ(Read(), text) << header;
        EXPECT_EQ(Value(L"General", L"PatchBloodDecalColorAndAlpha"), L"1") << header;
    }
}

TEST_F(IniFileTest, ACommentOfOtherWordingGetsTheExactOneBelowIt) {
    std::string text = kTemplate;
    text.replace(text.find(kPatchComment), kPatchComment.size(), "# patches blood decals");
    text.replace(text.find(kStaleComment), kStaleComment.size(),
                 "# FIXES STALE BLOOD DECAL MAPS APPEARING ON NEWLY SPAWNED HUNTERS.");
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Find("# patches blood decals") + 1, Find(kPatchComment));
    EXPECT_EQ(Find(kPatchComment) + 1, Find("PatchBloodDecalColorAndAlpha=0"));
    EXPECT_EQ(Find(kStaleComment) + 1, Find("FixStaleDamageMapDecals=1"));
    EXPECT_EQ(Lines().size(), 22u);
}

TEST_F(IniFileTest, AnIndentedKeyUnderItsCommentIsRecognised) {
    std::string text = kTemplate;
    text.replace(text.find("FixStaleDamageMapDecals=1"), 25, "  FixStaleDamageMapDecals = 0");
    text.replace(text.find("FixExecutionBloodDecals=1"), 25, "\tFixExecutionBloodDecals\t=1");
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), text);
}

TEST_F(IniFileTest, KeyLinesNeedTheExactKeyFollowedByEquals) {
    EXPECT_TRUE(IsKeyLine(L"  FixStaleDamageMapDecals =0", L"FixStaleDamageMapDecals"));
    EXPECT_TRUE(IsKeyLine(L"FixStaleDamageMapDecals=", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L"FixStaleDamageMapDecalsX=0", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L"# FixStaleDamageMapDecals=0", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L"fixstaledamagemapdecals=0", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L"FixStaleDamageMapDecals", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L"FixStaleDamageMapDecals  ", L"FixStaleDamageMapDecals"));
    EXPECT_FALSE(IsKeyLine(L" \t ", L"FixStaleDamageMapDecals"));
    EXPECT_TRUE(IsGeneralHeader(L"[General]"));
    EXPECT_FALSE(IsGeneralHeader(L"[General] "));
    EXPECT_FALSE(IsGeneralHeader(L"[GENERAL]"));
}

TEST_F(IniFileTest, ALastLineWithoutLineEndIsKeptAndEnded) {
    Write(TemplateBody().substr(0, TemplateBody().size() - 2));
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
}

TEST_F(IniFileTest, BytesAbove127SurviveEveryRewrite) {
    const std::string comment = "# Bl\xC3\xBCt \xE2\x80\x94 r\xFC\x63kseite \x80\x81\x8D\x8F\x90\x9D\xA0\xFF";
    const std::string value = "Red=\xE4\xF6\xFC\xDF";
    std::string text = comment + "\r\n" + TemplateBody();
    text.replace(text.find("Red=224"), 7, value);
    text.replace(text.find(kStaleComment + "\r\n"), kStaleComment.size() + 2, "");
    Write(text);
    EnsureIniFile(path);
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], kCredits);
    EXPECT_EQ(lines[2], comment);
    EXPECT_NE(Find(value), -1);
    EXPECT_EQ(Find(kStaleComment) + 1, Find("FixStaleDamageMapDecals=1"));
}

TEST_F(IniFileTest, AFileThatCannotBeReadWholeIsLeftAsItIs) {
    const std::string text = TemplateBody();
    Write(text);
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EnsureCreditsLine(path);
    EnsureKeyComment(path, L"FixStaleDamageMapDecals", L"x");
    CloseHandle(holder);
    EXPECT_EQ(Read(), text);
    EXPECT_FALSE(TemporaryFilesLeft());
}

TEST_F(IniFileTest, AFailedReplaceLeavesTheFileAndNoTemporaryFile) {
    const std::string text = TemplateBody();
    Write(text);
    // Readable, but not to be deleted or replaced while this handle is open.
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    IniLines lines;
    ASSERT_TRUE(ReadIniLines(path, lines));
    lines.Lines.insert(lines.Lines.begin(), L"# new first line");
    EXPECT_FALSE(RewriteIniLines(path, lines));
    CloseHandle(holder);
    EXPECT_EQ(Read(), text);
    EXPECT_FALSE(TemporaryFilesLeft());
}

TEST_F(IniFileTest, AUtf8ByteOrderMarkStaysFirstAndTheCreditsGoAfterIt) {
    Write("\xEF\xBB\xBF" + TemplateBody());
    EnsureIniFile(path);
    EXPECT_EQ(Read(), "\xEF\xBB\xBF" + kTemplate);
    EXPECT_EQ(Value(L"General", L"FixStaleDamageMapDecals"), L"1");
}

TEST_F(IniFileTest, AUtf16FileIsNeverRewrittenLineByLine) {
    std::string text = "\xFF\xFE";
    for (char c : TemplateBody()) {
        text += c;
        text += '\0';
    }
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), text);
    EXPECT_EQ(Value(L"BloodDecal", L"Alpha"), L"255");
}

TEST_F(IniFileTest, AReadOnlyFileStaysAsItIsAndIsStillRead) {
    const std::string text = "[General]\r\nFixStaleDamageMapDecals=0\r\n";
    Write(text);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), text);
    EXPECT_FALSE(ReadIniBool(path, L"General", L"FixStaleDamageMapDecals", true));
    EXPECT_EQ(ReadIniByte(path, L"BloodDecal", L"Alpha", 255), 255);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(IniFileTest, ADirectoryInPlaceOfTheFileGivesTheDefaults) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    EnsureIniFile(path);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(ReadIniBool(path, L"General", L"FixExecutionBloodDecals", true));
    EXPECT_EQ(ReadIniByte(path, L"BloodDecal", L"Red", 224), 224);
    EXPECT_FALSE(TemporaryFilesLeft());
    RemoveDirectoryW(path.c_str());
}

// The platform reads nothing from it, and its key writer would replace it with the defaults.
TEST_F(IniFileTest, AUtf16FileWithoutByteOrderMarkIsLeftByteForByte) {
    for (bool bigEndian : {false, true}) {
        const std::string text =
            Utf16("[General]\r\nFixExecutionBloodDecals=0\r\n[Logging]\r\nEnableLogging=1\r\n", bigEndian);
        Write(text);
        EnsureIniFile(path);
        EXPECT_EQ(Read(), text);
        EXPECT_STREQ(IniFileNote(),
                     "Vorlaine.Crimsel.ini left as it is: it holds NUL bytes (UTF-16 without a "
                     "byte-order mark, or not text); its values are read as they stand");
        EXPECT_FALSE(TemporaryFilesLeft());
    }
}

TEST_F(IniFileTest, AUtf16FileWithItsByteOrderMarkGetsItsMissingKeysAndKeepsItsValues) {
    for (bool bigEndian : {false, true}) {
        const std::string mark = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        Write(mark + Utf16("[General]\r\nFixExecutionBloodDecals=0\r\n[BloodDecal]\r\nRed=7\r\n", bigEndian));
        EnsureIniFile(path);
        EXPECT_EQ(Value(L"General", L"FixExecutionBloodDecals"), L"0");
        EXPECT_EQ(Value(L"BloodDecal", L"Red"), L"7");
        EXPECT_EQ(Value(L"BloodDecal", L"Alpha"), L"255");
        const std::string once = Read();
        EXPECT_EQ(once.compare(0, 2, mark), 0);
        EXPECT_EQ(once.find(Utf16("Orrisbane", bigEndian)), std::string::npos) << "no line-wise edits";
        EXPECT_STREQ(IniFileNote(),
                     "Vorlaine.Crimsel.ini is UTF-16 text: missing keys were added, no comments");
        EnsureIniFile(path);
        EXPECT_EQ(Read(), once);
    }
    // The mark alone is UTF-16 text too: no single-byte line may be put after it.
    Write("\xFF\xFE");
    EnsureIniFile(path);
    EXPECT_STREQ(IniFileNote(), "Vorlaine.Crimsel.ini is UTF-16 text: missing keys were added, no comments");
    EXPECT_EQ(Value(L"BloodDecal", L"Alpha"), L"255");
    EXPECT_EQ(Read().find("Orrisbane"), std::string::npos);
}

TEST_F(IniFileTest, AFileOverOneMebibyteIsLeftAsItIsAndOneOfExactlyThatSizeIsCompleted) {
    std::string text = TemplateBody();
    text += std::string((1 << 20) + 1 - text.size(), ';');
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), text);
    EXPECT_STREQ(IniFileNote(),
                 "Vorlaine.Crimsel.ini left as it is: 1048577 bytes, more than the 1048576 this "
                 "plug-in completes; its values are read as they stand");

    text.pop_back();
    Write(text);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kCredits + "\r\n\r\n" + text + "\r\n");
    EXPECT_STREQ(IniFileNote(), "");
    EXPECT_FALSE(TemporaryFilesLeft());
}

// Completing it once held start-up for about a minute and 811 MB.
TEST_F(IniFileTest, AFortyFiveMegabyteFileIsLeftAsItIs) {
    std::string text = "[Logging]\r\nEnableLogging=1\r\n";
    text.reserve(45000000);
    while (text.size() < 45000000) {
        text += "#\r\n";
    }
    Write(text);
    EnsureIniFile(path);
    EXPECT_TRUE(Read() == text);
    EXPECT_STREQ(IniFileNote(),
                 "Vorlaine.Crimsel.ini left as it is: 45000001 bytes, more than the 1048576 this "
                 "plug-in completes; its values are read as they stand");
}

// A size past 32 bits must not be taken for its low half; a sparse file costs no disk.
TEST_F(IniFileTest, AFileOverFourGibibytesIsLeftAsItIs) {
    Write(TemplateBody());
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (int64_t{1} << 32) + 100;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    EnsureIniFile(path);
    EXPECT_STREQ(IniFileNote(), "Vorlaine.Crimsel.ini left as it is: 4294967396 bytes, more than the 1048576 "
                                "this plug-in completes; its values are read as they stand");
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts));
    EXPECT_EQ(facts.nFileSizeHigh, 1u);
    EXPECT_EQ(facts.nFileSizeLow, 100u);
    std::ifstream start(path.c_str(), std::ios::binary);
    std::string head(TemplateBody().size(), '\0');
    start.read(&head[0], static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, TemplateBody());
    start.close();
    DeleteFileW(path.c_str());
}

TEST_F(IniFileTest, RunningOutOfMemoryLeavesTheFileAsItWasAndSaysWhy) {
    std::string text = TemplateBody();
    text += std::string((1 << 20) - text.size(), ';');
    Write(text);
    {
        const AddressSpaceReservation reservation;
        EnsureIniFile(path);
    }
    EXPECT_EQ(Read(), text);
    EXPECT_STREQ(
        IniFileNote(),
        "Completing Vorlaine.Crimsel.ini stopped (std::bad_alloc); its values are read as they stand");
    EXPECT_FALSE(TemporaryFilesLeft());
    // No handle of the file was left open by the allocation that failed: it opens for one alone.
    HANDLE alone =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "the INI is still open: " << GetLastError();
    CloseHandle(alone);
}

TEST_F(IniFileTest, ANewFileLeftByAStartThatDiedIsRemoved) {
    Write(TemplateBody());
    WriteFileBytes(path + L".rewrite", "[General]\r\nhalf a fi");
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
    EXPECT_FALSE(TemporaryFilesLeft());

    // Beside a complete file, which needs no rewrite of its own.
    WriteFileBytes(path + L".rewrite", "[General]\r\nhalf a fi");
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
    EXPECT_FALSE(TemporaryFilesLeft());
}

// A start that died inside the replace left the user's file under the other
// name: it is the only complete copy, and comes back rather than the template.
TEST_F(IniFileTest, AnOldFileLeftByAStartThatDiedIsPutBackOrRemoved) {
    const std::string users = "[General]\r\nFixStaleDamageMapDecals=0\r\n";
    WriteFileBytes(path + L".replaced", users);
    EnsureIniFile(path);
    EXPECT_EQ(Value(L"General", L"FixStaleDamageMapDecals"), L"0");
    EXPECT_EQ(Find(kCredits), 0);
    EXPECT_FALSE(TemporaryFilesLeft());

    // It died after the replace: the new file stands, the old one beside it goes.
    const std::string completed = Read();
    WriteFileBytes(path + L".replaced", users);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), completed);
    EXPECT_FALSE(TemporaryFilesLeft());
}

TEST_F(IniFileTest, ARewriteKeepsTheFilesAttributes) {
    Write(TemplateBody());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EnsureIniFile(path);
    EXPECT_EQ(Read(), kTemplate);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// tests/make_linked_ini.sh links game\Vorlaine.Crimsel.ini to shared\shared.ini beside this program,
// and deep-game\Vorlaine.Crimsel.ini to a shared.ini at a path longer than MAX_PATH.
TEST(IniFileLink, AnIniThatIsALinkIsCompletedAtItsTargetAndStaysALink) {
    const std::wstring linked = ExecutableDirectory() + L"linked\\";
    const std::wstring deep =
        L"\\\\?\\" + linked + std::wstring(200, L'd') + L"\\" + std::wstring(100, L'e') + L"\\";
    for (const auto& [game, shared] : {std::make_pair(linked + L"game\\", linked + L"shared\\"),
                                       std::make_pair(linked + L"deep-game\\", deep)}) {
        const std::wstring link = game + L"Vorlaine.Crimsel.ini";
        const std::wstring target = shared + L"shared.ini";
        ASSERT_TRUE(FileExists(link));
        ASSERT_TRUE(WriteFileBytes(target, TemplateBody()));
        EnsureIniFile(link);
        EXPECT_EQ(ReadFileBytes(target), kTemplate);
        EXPECT_NE(IniFileTarget(link).find(L"shared.ini"), std::wstring::npos);
        EXPECT_FALSE(FilesLeftBeside(game));
        EXPECT_FALSE(FilesLeftBeside(shared));
        // Every missing key reaches the target, however deep it lies.
        ASSERT_TRUE(WriteFileBytes(target, "[General]\r\nFixStaleDamageMapDecals=0\r\n"));
        EnsureIniFile(link);
        const std::string completed = ReadFileBytes(target);
        for (const IniKey& key : kIniKeys) {
            const std::string line = "\n" + std::string(key.Key, key.Key + std::wcslen(key.Key)) + "=";
            EXPECT_NE(completed.find(line), std::string::npos) << line << " in\n" << completed;
        }
        // Written through its name, the target changes: the link is still there.
        ASSERT_TRUE(WriteFileBytes(link, "[x]\r\n"));
        EXPECT_EQ(ReadFileBytes(target), "[x]\r\n");
    }
}
