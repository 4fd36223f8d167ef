// Many generated INI files, old, odd or damaged, through the same completion as
// a start-up: nothing of the user's may be lost, and a second pass changes nothing.
#include "config/IniFile.h"
#include "config/IniKeys.h"

#include "HostFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <windows.h>

namespace {

constexpr int kFilesPerShard = 500;
constexpr int kShards = 4;

struct Generated {
    std::string bytes;
    std::vector<std::string> comments;
};

class Generator {
  public:
    explicit Generator(unsigned seed) : random(seed) {}

    Generated Next() {
        Generated file;
        lineEnd = Chance(50) ? "\r\n" : "\n";
        utf8 = Chance(10);
        if (utf8) {
            file.bytes += "\xEF\xBB\xBF";
        }
        std::vector<std::string> lines;
        if (Chance(15)) {
            lines.push_back("# Developed by Ketterly/Marrowby based on Orrisbane's Brindlekit");
        }
        std::vector<std::string> sections = {"General", "BloodDecal", "Logging", "Other"};
        std::shuffle(sections.begin(), sections.end(), random);
        for (const std::string& section : sections) {
            if (Chance(15)) {
                continue;
            }
            Decorate(lines, file);
            lines.push_back("[" + section + "]");
            for (const IniKey& key : kIniKeys) {
                if (Narrow(key.Section) == section) {
                    AddKey(lines, file, Narrow(key.Key));
                }
            }
            if (section == "Other") {
                AddKey(lines, file, "Unknown");
            }
        }
        Decorate(lines, file);
        for (size_t i = 0; i < lines.size(); ++i) {
            file.bytes += lines[i];
            if (i + 1 < lines.size() || Chance(80)) {
                file.bytes += lineEnd;
            }
        }
        return file;
    }

  private:
    std::mt19937 random;
    std::string lineEnd;
    bool utf8 = false;

    bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; }

    template <size_t N> const char* Pick(const char* const (&options)[N]) {
        return options[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
    }

    static std::string Narrow(const wchar_t* text) {
        std::string narrow;
        for (; *text != L'\0'; ++text) {
            narrow += static_cast<char>(*text);
        }
        return narrow;
    }

    // Any bytes in an ANSI file; a file marked UTF-8 holds UTF-8 (Wine's key
    // writer replaces invalid sequences in it).
    std::string Text() {
        static const char* const words[] = {"blood",        "decal",    "Wii", "r\xC3\xB6t", "\xE2\x80\x94",
                                            "\xE4\xF6\xFC", "\x80\xFF", "=",   "[x]",        "%s"};
        static const char* const utf8Words[] = {"blood", "r\xC3\xB6t", "\xE2\x80\x94", "=", "[x]"};
        std::string text;
        const int count = std::uniform_int_distribution<int>(0, 6)(random);
        for (int i = 0; i < count; ++i) {
            text += std::string(i ? " " : "") + (utf8 ? Pick(utf8Words) : Pick(words));
        }
        if (Chance(5)) {
            text += std::string(300, 'x');
        }
        return text;
    }

    void Decorate(std::vector<std::string>& lines, Generated& file) {
        while (Chance(30)) {
            if (Chance(50)) {
                lines.push_back("");
            } else {
                const std::string comment = std::string(Chance(70) ? "# " : ";") + Text();
                lines.push_back(comment);
                file.comments.push_back(comment);
            }
        }
    }

    void AddKey(std::vector<std::string>& lines, Generated& file, const std::string& key) {
        Decorate(lines, file);
        if (Chance(25)) {
            return;
        }
        static const char* const values[] = {"0",    "1",     "yes", "off",      "224",
                                             "0x80", "maybe", "-3",  "7 # seven"};
        const std::string value = Chance(10) ? "" : Pick(values);
        static const char* const forms[] = {"%s=%s", "%s = %s", "  %s=%s", "\t%s\t=%s"};
        char line[128];
        std::snprintf(line, sizeof line, Pick(forms), key.c_str(), value.c_str());
        lines.push_back(line);
    }
};

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const size_t next = end == std::string::npos ? bytes.size() : end + 1;
        end = end == std::string::npos ? bytes.size() : end;
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = next;
    }
    return lines;
}

// True when every line of part stands in whole, in the same order.
bool InOrder(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    size_t at = 0;
    for (const std::string& line : part) {
        while (at < whole.size() && whole[at] != line) {
            ++at;
        }
        if (at == whole.size()) {
            return false;
        }
        ++at;
    }
    return true;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> WineTrimmed(const std::vector<std::string>& lines) {
    std::vector<std::string> trimmed;
    for (const std::string& line : lines) {
        const size_t equals = line.find('=');
        trimmed.push_back(equals == std::string::npos
                              ? Trim(line)
                              : Trim(line.substr(0, equals)) + "=" + Trim(line.substr(equals + 1)));
    }
    return trimmed;
}

std::wstring Value(const std::wstring& path, const IniKey& key) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(key.Section, key.Key, L"", value, 256, path.c_str());
    return value;
}

} // namespace

// Shards, so that the test runner can spread the files over the cores.
class IniFileGenerated : public ::testing::TestWithParam<int> {};

TEST_P(IniFileGenerated, CompletionKeepsEverythingOfTheUsersAndSettles) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"ini_generated_" + std::to_wstring(GetParam()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);

    Generator generator(20261207u + static_cast<unsigned>(GetParam()));
    int complete = 0;
    for (int n = 0; n < kFilesPerShard; ++n) {
        const Generated file = generator.Next();
        const std::wstring path = folder + L"file" + std::to_wstring(n) + L".ini";
        WriteFileBytes(path, file.bytes);

        std::wstring before[kIniKeyCount];
        bool anyMissing = false;
        for (unsigned k = 0; k < kIniKeyCount; ++k) {
            before[k] = Value(path, kIniKeys[k]);
            anyMissing = anyMissing || before[k].empty();
        }

        EnsureIniFile(path);
        const std::string once = ReadFileBytes(path);
        const std::vector<std::string> lines = SplitLines(once);
        SCOPED_TRACE("file " + std::to_string(n) + ":\n" + file.bytes);

        // Wine's key writer, used only when a key is missing, trims the blanks at
        // the ends of lines and, in a comment holding "=", around the "=";
        // Windows leaves every line but the one it writes.
        if (anyMissing) {
            ASSERT_TRUE(InOrder(WineTrimmed(file.comments), WineTrimmed(lines)))
                << "a comment was lost or moved:\n"
                << once;
        } else {
            ASSERT_TRUE(InOrder(file.comments, lines)) << "a comment was lost or moved:\n" << once;
        }
        if (!anyMissing) {
            ++complete;
            ASSERT_TRUE(InOrder(SplitLines(file.bytes), lines)) << "a line was lost:\n" << once;
        }
        if (file.bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            ASSERT_EQ(once.compare(0, 3, "\xEF\xBB\xBF"), 0) << "the byte-order mark was lost";
        }
        for (unsigned k = 0; k < kIniKeyCount; ++k) {
            const std::wstring after = Value(path, kIniKeys[k]);
            if (before[k].empty()) {
                ASSERT_EQ(after, kIniKeys[k].DefaultText) << "missing key " << n << " " << k;
            } else {
                ASSERT_EQ(after, before[k]) << "user value changed " << n << " " << k;
            }
        }

        EnsureIniFile(path);
        ASSERT_EQ(ReadFileBytes(path), once) << "a second pass changed the file";
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
    std::printf("generated INI files tried: %d (%d with every key present)\n", kFilesPerShard, complete);
}

INSTANTIATE_TEST_SUITE_P(Shards, IniFileGenerated, ::testing::Range(0, kShards));
