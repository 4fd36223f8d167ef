#include "StandInHost.h"

#include <cstring>

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

std::vector<uint8_t> CopyHostCode() {
    return std::vector<uint8_t>(HostCodeStart, HostCodeEnd);
}

void WriteHostCode(uint32_t address, const std::vector<uint8_t>& bytes) {
    void* start = reinterpret_cast<void*>(address);
    DWORD old = 0;
    VirtualProtect(start, bytes.size(), PAGE_EXECUTE_READWRITE, &old);
    std::memcpy(start, bytes.data(), bytes.size());
    VirtualProtect(start, bytes.size(), old, &old);
}

std::vector<uint8_t> Branch(uint8_t opcode, uint32_t site, uint32_t target) {
    const uint32_t displacement = target - (site + 5);
    std::vector<uint8_t> bytes(5, opcode);
    std::memcpy(bytes.data() + 1, &displacement, sizeof displacement);
    return bytes;
}

std::vector<HostByteChange> CompareHostCode(const std::vector<uint8_t>& before,
                                            const std::vector<uint8_t>& after) {
    std::vector<HostByteChange> changes;
    const uint32_t base = reinterpret_cast<uintptr_t>(HostCodeStart);
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] != after[i]) {
            changes.push_back({base + static_cast<uint32_t>(i), before[i], after[i]});
        }
    }
    return changes;
}

std::vector<std::string> LogEntries(const std::string& logBytes) {
    constexpr size_t kPrefixLength = 26;
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < logBytes.size()) {
        const size_t end = logBytes.find("\r\n", start);
        const std::string line =
            logBytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        entries.push_back(line.size() >= kPrefixLength ? line.substr(kPrefixLength) : line);
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
    return entries;
}
