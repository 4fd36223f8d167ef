#include "config/IniFile.h"

#include "config/IniKeys.h"
#include "config/PluginPaths.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <windows.h>

namespace {

const wchar_t kCreditsLine[] = L"# Developed by Ketterly/Marrowby based on Orrisbane's Brindlekit";
const wchar_t kCommentPrefix[] = L"# ";
const wchar_t kGeneralHeader[] = L"[General]";

const char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr size_t kLongPathCharacters = 32768;
constexpr DWORD kValueCapacity = 256;

// Beside the file that is rewritten: the new contents before they replace it,
// and the old file while the platform swaps the two.
const wchar_t kRewriteSuffix[] = L".rewrite";
const wchar_t kReplacedSuffix[] = L".replaced";

char Note[200] = {};

// A file's handle, closed however the function that opened it ends: an
// allocation that throws while the file is open must not leave it open.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) == 0 || size.QuadPart > static_cast<LONGLONG>(kMaxIniFileSize)) {
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    return bytes.empty() ||
           (ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &done, nullptr) != 0 &&
            done == bytes.size());
}

// Written and flushed before it replaces anything, so the INI is either the old
// file or the whole new one.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    DWORD done = 0;
    return (bytes.empty() ||
            (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) != 0 &&
             done == bytes.size())) &&
           FlushFileBuffers(file.Get()) != 0;
}

} // namespace

bool IsGeneralHeader(const std::wstring& line) {
    return line == kGeneralHeader;
}

bool IsKeyLine(const std::wstring& line, const wchar_t* key) {
    size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    if (at == line.size()) {
        return false;
    }
    const size_t keyLength = std::wcslen(key);
    if (line.compare(at, keyLength, key) != 0) {
        return false;
    }
    at += keyLength;
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    return at < line.size() && line[at] == L'=';
}

bool ReadIniLines(const std::wstring& path, IniLines& text) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    // UTF-16 text, with or without its byte-order mark, and binary files hold NUL bytes.
    if (bytes.find('\0') != std::string::npos) {
        return false;
    }
    text.Utf8Bom = bytes.compare(0, 3, kUtf8Bom) == 0;
    text.Lines.clear();
    size_t start = text.Utf8Bom ? 3 : 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) {
            end = bytes.size();
        }
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        std::wstring line(end - start, L'\0');
        for (size_t i = start; i < end; ++i) {
            line[i - start] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
        }
        text.Lines.push_back(line);
        start = next;
    }
    return true;
}

bool RewriteIniLines(const std::wstring& path, const IniLines& text) {
    std::string bytes = text.Utf8Bom ? kUtf8Bom : "";
    for (const std::wstring& line : text.Lines) {
        for (wchar_t c : line) {
            bytes += static_cast<char>(static_cast<unsigned char>(c));
        }
        bytes += "\r\n";
    }

    const std::wstring target = IniFileTarget(path);
    if (target.empty()) {
        return false;
    }
    const std::wstring rewrite = target + kRewriteSuffix;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (!WriteWholeFile(rewrite, bytes)) {
        DeleteFileW(rewrite.c_str());
        return false;
    }
    // ReplaceFileW keeps the file's security descriptor and streams where the
    // platform has them; a plain rename is the fallback.
    const bool plainFile = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    bool done = plainFile && ReplaceFileW(target.c_str(), rewrite.c_str(), (target + kReplacedSuffix).c_str(),
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    if (!done) {
        RemoveLeftovers(target, false);
        done = (attributes == INVALID_FILE_ATTRIBUTES || Exists(target)) &&
               MoveFileExW(rewrite.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    RemoveLeftovers(target, true);
    // Not every platform's replace keeps the attributes.
    if (done && plainFile && attributes != FILE_ATTRIBUTE_NORMAL &&
        GetFileAttributesW(target.c_str()) != attributes) {
        SetFileAttributesW(target.c_str(), attributes);
    }
    return done;
}

namespace {

bool SameFile(HANDLE file, const std::wstring& path) {
    const FileHandle other(CreateFileW(path.c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!other.IsOpen()) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION mine{};
    BY_HANDLE_FILE_INFORMATION theirs{};
    return GetFileInformationByHandle(file, &mine) && GetFileInformationByHandle(other.Get(), &theirs) &&
           mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
           mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
}

// The full path of the file behind a handle, links followed; empty when the
// platform cannot tell.
std::wstring FinalPathOf(HANDLE file, const std::wstring& openedAs) {
    std::wstring finalPath(MAX_PATH + 8, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, &finalPath[0], static_cast<DWORD>(finalPath.size()),
                                             FILE_NAME_NORMALIZED);
    // Too small a buffer gives the size it needs: a link's target may lie at any depth.
    if (length >= finalPath.size()) {
        finalPath.assign(length + 1, L'\0');
        length = GetFinalPathNameByHandleW(file, &finalPath[0], static_cast<DWORD>(finalPath.size()),
                                           FILE_NAME_NORMALIZED);
    }
    if (length != 0 && length < finalPath.size()) {
        finalPath.resize(length);
        return OrdinaryPathForm(finalPath);
    }
    // Wine names no file deeper than MAX_PATH that way, but gives its path on
    // its volume: on the drive the file was opened by, if that is the same file.
    if (openedAs.size() < 2 || openedAs[1] != L':') {
        return std::wstring();
    }
    std::vector<char> buffer(sizeof(FILE_NAME_INFO) + kLongPathCharacters * sizeof(wchar_t));
    FILE_NAME_INFO* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!GetFileInformationByHandleEx(file, FileNameInfo, name, static_cast<DWORD>(buffer.size()))) {
        return std::wstring();
    }
    const std::wstring onDrive =
        openedAs.substr(0, 2) + std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
    return SameFile(file, LongPathForm(onDrive)) ? onDrive : std::wstring();
}

} // namespace

std::wstring IniFileTarget(const std::wstring& path) {
    std::wstring finalPath;
    {
        const FileHandle file(CreateFileW(path.c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.IsOpen()) {
            return path;
        }
        // Without its final path the file may be a link, which a rewrite through its
        // name would turn into a plain file.
        finalPath = FinalPathOf(file.Get(), path);
    }
    if (finalPath.empty()) {
        return std::wstring();
    }
    // The platform's INI and file functions reach a deep target only by its folder's short form.
    const std::wstring folder = ReachableDirectory(DirectoryOfPath(finalPath.c_str()));
    return folder.empty() ? std::wstring() : folder + finalPath.substr(finalPath.find_last_of(L"\\/") + 1);
}

void RemoveLeftovers(const std::wstring& target, bool rewriteToo) {
    if (rewriteToo) {
        DeleteFileW((target + kRewriteSuffix).c_str());
    }
    // The old file is only let go once a whole file stands in its place again.
    const std::wstring replaced = target + kReplacedSuffix;
    if (!Exists(replaced)) {
        return;
    }
    if (Exists(target)) {
        DeleteFileW(replaced.c_str());
    } else {
        MoveFileExW(replaced.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    }
}

void WriteIniTemplate(const std::wstring& path) {
    IniLines text;
    text.Lines.push_back(kCreditsLine);
    const wchar_t* section = nullptr;
    for (const IniKey& key : kIniKeys) {
        if (section == nullptr || std::wcscmp(section, key.Section) != 0) {
            text.Lines.push_back(L"");
            section = key.Section;
            text.Lines.push_back(std::wstring(L"[") + section + L"]");
        }
        if (key.Comment != nullptr) {
            text.Lines.push_back(std::wstring(kCommentPrefix) + key.Comment);
        }
        text.Lines.push_back(std::wstring(key.Key) + L"=" + key.DefaultText);
    }
    if (!RewriteIniLines(path, text)) {
        AddMissingKeys(path);
        EnsureCreditsLine(path);
    }
}

void AddMissingKeys(const std::wstring& path) {
    for (const IniKey& key : kIniKeys) {
        wchar_t value[kValueCapacity] = {};
        GetPrivateProfileStringW(key.Section, key.Key, L"", value, kValueCapacity, path.c_str());
        if (value[0] == L'\0') {
            WritePrivateProfileStringW(key.Section, key.Key, key.DefaultText, path.c_str());
        }
    }
}

void EnsureCreditsLine(const std::wstring& path) {
    IniLines text;
    if (!ReadIniLines(path, text)) {
        return;
    }
    for (const std::wstring& line : text.Lines) {
        if (line == kCreditsLine) {
            return;
        }
    }
    text.Lines.insert(text.Lines.begin(), kCreditsLine);
    if (text.Lines.size() == 1 || !text.Lines[1].empty()) {
        text.Lines.insert(text.Lines.begin() + 1, L"");
    }
    RewriteIniLines(path, text);
}

void EnsureKeyComment(const std::wstring& path, const wchar_t* key, const wchar_t* comment) {
    IniLines text;
    if (!ReadIniLines(path, text)) {
        return;
    }
    const std::wstring commentLine = std::wstring(kCommentPrefix) + comment;
    bool inGeneral = false;
    size_t keyLine = text.Lines.size();
    for (size_t i = 0; i < text.Lines.size(); ++i) {
        const std::wstring& line = text.Lines[i];
        if (IsGeneralHeader(line)) {
            inGeneral = true;
        } else if (!line.empty() && line[0] == L'[') {
            inGeneral = false;
        } else if (inGeneral && IsKeyLine(line, key)) {
            keyLine = i;
            break;
        }
    }
    if (keyLine == text.Lines.size() || (keyLine > 0 && text.Lines[keyLine - 1] == commentLine)) {
        return;
    }
    text.Lines.insert(text.Lines.begin() + static_cast<std::ptrdiff_t>(keyLine), commentLine);
    RewriteIniLines(path, text);
}

namespace {

// What kind of file the INI is, read once before anything is changed.
enum class IniKind { Text, Utf16WithBom, NotText };

bool Examine(const std::wstring& path, IniKind& kind) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    const bool utf16Bom = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                                (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    const bool nul = bytes.find('\0') != std::string::npos;
    kind = utf16Bom ? IniKind::Utf16WithBom : nul ? IniKind::NotText : IniKind::Text;
    return true;
}

void CompleteIniFile(const std::wstring& path) {
    const std::wstring target = IniFileTarget(path);
    if (target.empty()) {
        std::strcpy(Note, "Vorlaine.Crimsel.ini left as it is: the platform cannot name the file it leads to "
                          "in a path short enough to edit; its values are read as they stand");
        return;
    }
    RemoveLeftovers(target, true);
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts)) {
        // Only a file that is really absent gets the template: one that merely
        // cannot be examined may still hold the user's settings.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            WriteIniTemplate(path);
        }
        return;
    }
    if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        WriteIniTemplate(path);
        return;
    }
    // A read-only file is the user's way of saying "leave it as it is".
    if (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return;
    }
    const uint64_t size = (uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow;
    IniKind kind = IniKind::Text;
    if (size > kMaxIniFileSize || !Examine(target, kind)) {
        if (size > kMaxIniFileSize) {
            _snprintf(
                Note, sizeof Note - 1,
                "Vorlaine.Crimsel.ini left as it is: %.0f bytes, more than the %u this plug-in completes; "
                "its values are read as they stand",
                static_cast<double>(size), kMaxIniFileSize);
        }
        return;
    }
    if (kind == IniKind::NotText) {
        std::strcpy(Note,
                    "Vorlaine.Crimsel.ini left as it is: it holds NUL bytes (UTF-16 without a byte-order "
                    "mark, or not text); its values are read as they stand");
        return;
    }
    // The platform's key writer keeps the values of UTF-16 text that starts with
    // its byte-order mark; its lines are never edited one by one.
    AddMissingKeys(target);
    if (kind == IniKind::Utf16WithBom) {
        std::strcpy(Note, "Vorlaine.Crimsel.ini is UTF-16 text: missing keys were added, no comments");
        return;
    }
    EnsureCreditsLine(target);
    for (const IniKey& key : kIniKeys) {
        if (key.Comment != nullptr) {
            EnsureKeyComment(target, key.Key, key.Comment);
        }
    }
}

} // namespace

void EnsureIniFile(const std::wstring& path) {
    Note[0] = '\0';
    try {
        CompleteIniFile(path);
    } catch (const std::exception& error) {
        _snprintf(Note, sizeof Note - 1,
                  "Completing Vorlaine.Crimsel.ini stopped (%s); its values are read as they stand",
                  error.what());
    } catch (...) {
        std::strcpy(Note, "Completing Vorlaine.Crimsel.ini stopped; its values are read as they stand");
    }
}

const char* IniFileNote() {
    return Note;
}
