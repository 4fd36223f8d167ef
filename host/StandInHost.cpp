#include "StandInHost.h"

namespace {

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = folder + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyFolder(path + L"\\");
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

} // namespace

std::wstring CreateGameFolder(const std::wstring& name) {
    const std::wstring games = ExecutableDirectory() + L"games\\";
    CreateDirectoryW(games.c_str(), nullptr);
    const std::wstring folder = games + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    EmptyFolder(folder);
    CopyFileW((ExecutableDirectory() + L"Vorlaine.Crimsel.asi").c_str(),
              (folder + L"Vorlaine.Crimsel.asi").c_str(), FALSE);
    return folder;
}

LoadedPlugin LoadPlugin(const std::wstring& gameFolder) {
    LoadedPlugin plugin{};
    plugin.Module = LoadLibraryW((gameFolder + L"Vorlaine.Crimsel.asi").c_str());
    if (plugin.Module != nullptr) {
        plugin.InitializeASI =
            reinterpret_cast<InitializeAsiFunction>(GetProcAddress(plugin.Module, "InitializeASI"));
    }
    return plugin;
}

std::vector<std::string> LogEntries(const std::string& logBytes) {
    constexpr size_t kPrefixLength = 26;
    std::vector<std::string> entries;
    for (const std::string& line : LogLines(logBytes)) {
        entries.push_back(line.size() >= kPrefixLength ? line.substr(kPrefixLength) : line);
    }
    return entries;
}
