#pragma once

// Files of the tests that call the plug-in's functions directly: the plug-in's
// folder is then the test executable's own.

#include <fstream>
#include <iterator>
#include <string>
#include <windows.h>

inline std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full = path;
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}

inline std::wstring LogPath() {
    return ExecutableFolder() + L"Crimsel.log";
}

inline std::string ReadWholeFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}
