#include "config/PluginPaths.h"

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;
constexpr DWORD kLongPathCapacity = 32768; // the longest path the platform has
const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";
// The longest name of a file the plug-in keeps beside itself.
constexpr size_t kLongestFileName = sizeof "Vorlaine.Crimsel.ini.replaced" - 1;

} // namespace

std::wstring DirectoryOfPath(const wchar_t* path) {
    const wchar_t* lastSeparator = nullptr;
    for (const wchar_t* c = path; *c != L'\0'; ++c) {
        if (*c == L'\\' || *c == L'/') {
            lastSeparator = c;
        }
    }
    if (lastSeparator == nullptr) {
        return std::wstring();
    }
    return std::wstring(path, static_cast<size_t>(lastSeparator - path) + 1);
}

std::wstring ModuleFilePath(HMODULE module) {
    std::wstring path(kPathCapacity, L'\0');
    DWORD length = GetModuleFileNameW(module, &path[0], kPathCapacity);
    // A result that fills the buffer is a cut path: read it again whole.
    if (length == kPathCapacity) {
        path.assign(kLongPathCapacity, L'\0');
        length = GetModuleFileNameW(module, &path[0], kLongPathCapacity);
    }
    if (length == 0 || length >= path.size()) {
        return std::wstring();
    }
    path.resize(length);
    return path;
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.compare(0, 4, kLongPrefix) == 0) {
        return path;
    }
    const bool unc = path.compare(0, 2, L"\\\\") == 0;
    return unc ? kLongUncPrefix + path.substr(2) : kLongPrefix + path;
}

std::wstring OrdinaryPathForm(const std::wstring& path) {
    if (path.compare(0, 8, kLongUncPrefix) == 0) {
        return L"\\\\" + path.substr(8);
    }
    return path.compare(0, 4, kLongPrefix) == 0 ? path.substr(4) : path;
}

std::wstring ReachableDirectory(const std::wstring& directory) {
    if (directory.size() + kLongestFileName < kPathCapacity) {
        return directory;
    }
    // Paths this long are reachable only in their "\\?\" form.
    std::wstring shortForm(kLongPathCapacity, L'\0');
    const DWORD length = GetShortPathNameW(LongPathForm(directory).c_str(), &shortForm[0], kLongPathCapacity);
    if (length == 0 || length >= kLongPathCapacity) {
        return std::wstring();
    }
    shortForm.resize(length);
    shortForm = OrdinaryPathForm(shortForm);
    if (shortForm.empty() || shortForm.size() + kLongestFileName >= kPathCapacity) {
        return std::wstring();
    }
    if (shortForm.back() != L'\\') {
        shortForm += L'\\';
    }
    return shortForm;
}

std::wstring GetPluginDirectory() {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&GetPluginDirectory), &module)) {
        const std::wstring directory = DirectoryOfPath(ModuleFilePath(module).c_str());
        if (!directory.empty()) {
            // Never a parent folder, the game's or the current one in place of
            // ours: the user's INI lies beside the plug-in or nowhere.
            return ReachableDirectory(directory);
        }
    }
    // Without our own path, the host's folder is the next best place.
    const std::wstring directory = DirectoryOfPath(ModuleFilePath(nullptr).c_str());
    if (!directory.empty()) {
        return ReachableDirectory(directory);
    }
    return L".\\";
}
