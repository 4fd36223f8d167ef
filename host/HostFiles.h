#pragma once

// Files of the stand-in host and the tests: the built plug-in lies beside the
// executable, and a plug-in linked into a test executable writes beside it too.

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <windows.h>

// The folder that holds this executable, with its separator.
inline std::wstring ExecutableDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full = path;
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}

// A path as UTF-8, for a report or for a line that another program reads: the C
// runtime's "%ls" spells only what the "C" locale can, and a folder's name may
// hold any character.
inline std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

inline bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The lines of a log, without their CR LF; an unterminated last line is kept as it is.
inline std::vector<std::string> LogLines(const std::string& log) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < log.size();) {
        const size_t end = log.find("\r\n", start);
        lines.push_back(log.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? log.size() : end + 2;
    }
    return lines;
}

// The names in a folder (its path with its separator), without "." and "..", sorted.
inline std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}
