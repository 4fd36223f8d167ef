#pragma once

#include <string>
#include <vector>

// Creates the INI file from its template when it is missing, or completes an
// existing one in place, so that every key can be read and edited by the user.
// The user's lines and values are never changed or lost: every rewrite needs
// the whole file, keeps its bytes, and replaces it only once the new contents
// are completely written.
// A file larger than kMaxIniFileSize, one that holds NUL bytes, or one that
// runs the plug-in out of memory is left as it is and only read through the
// platform.
void EnsureIniFile(const std::wstring& path);

// Why the last EnsureIniFile left the file (or some of it) as it was, for the
// log once it has started; empty for an ordinary file.
const char* IniFileNote();

// The largest INI file that is completed or rewritten; the template is 560 bytes.
constexpr unsigned kMaxIniFileSize = 1 << 20;

// An INI file as lines, one wide character per byte so that every byte comes
// back unchanged, without line ends and without a UTF-8 byte-order mark.
struct IniLines {
    bool Utf8Bom = false;
    std::vector<std::wstring> Lines;
};

void WriteIniTemplate(const std::wstring& path);
void AddMissingKeys(const std::wstring& path);
void EnsureCreditsLine(const std::wstring& path);
void EnsureKeyComment(const std::wstring& path, const wchar_t* key, const wchar_t* comment);

// False when the file cannot be read whole, or is UTF-16 text, which is never
// edited line by line.
bool ReadIniLines(const std::wstring& path, IniLines& text);

// Writes the lines, each ended by CR LF, into a new file beside the INI (beside
// its target when it is a link) and then replaces the INI with it; on any
// failure the INI is left as it was and the new file is removed.
bool RewriteIniLines(const std::wstring& path, const IniLines& text);

// The file that path leads to: path itself, or the target of a link (by its
// folder's short form when the whole path is too long for the platform's INI
// functions); empty when the platform cannot name it in such a path.
std::wstring IniFileTarget(const std::wstring& path);

// Removes what a rewrite of target leaves beside it (the new file, when
// rewriteToo, and the replaced old file), and puts the old file back where a
// start that died left target missing.
void RemoveLeftovers(const std::wstring& target, bool rewriteToo);

bool IsGeneralHeader(const std::wstring& line);
bool IsKeyLine(const std::wstring& line, const wchar_t* key);
