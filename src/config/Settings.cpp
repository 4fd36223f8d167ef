#include "config/Settings.h"

#include "config/IniFile.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <windows.h>

const IniKey kIniKeys[kIniKeyCount] = {
    {L"General", L"FixExecutionBloodDecals", L"1",
     L"Fixes missing execution blood decals when executions are non-interactive. Thanks to Orrisbane.",
     &PluginSettings::FixExecutionBloodDecals, nullptr},
    {L"General", L"PatchBloodDecalColorAndAlpha", L"0",
     L"Patches blood decals to render more like the Wii version and enables RGB/alpha overrides.",
     &PluginSettings::PatchBloodDecalColorAndAlpha, nullptr},
    {L"General", L"FixStaleDamageMapDecals", L"1",
     L"Fixes stale blood decal maps appearing on newly spawned hunters.",
     &PluginSettings::FixStaleDamageMapDecals, nullptr},
    {L"BloodDecal", L"Red", L"224", nullptr, nullptr, &PluginSettings::Red},
    {L"BloodDecal", L"Green", L"224", nullptr, nullptr, &PluginSettings::Green},
    {L"BloodDecal", L"Blue", L"224", nullptr, nullptr, &PluginSettings::Blue},
    {L"BloodDecal", L"Alpha", L"255", nullptr, nullptr, &PluginSettings::Alpha},
    {L"Logging", L"EnableLogging", L"0", nullptr, &PluginSettings::EnableLogging, nullptr},
    {L"Logging", L"LogDamageMapDiagnostics", L"0", nullptr, &PluginSettings::LogDamageMapDiagnostics,
     nullptr},
    {L"Logging", L"LogExecutionDecals", L"0", nullptr, &PluginSettings::LogExecutionDecals, nullptr},
};

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;
constexpr DWORD kLongPathCapacity = 32768; // the longest path the platform has
const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";
// The longest name of a file the plug-in keeps beside itself.
constexpr size_t kLongestFileName = sizeof "Vorlaine.Crimsel.ini.replaced" - 1;
constexpr DWORD kValueCapacity = 32;

// Converts like wcstol in base 0; false when not a single character converts.
bool ParseNumber(const wchar_t* text, long& number) {
    wchar_t* end = nullptr;
    number = std::wcstol(text, &end, 0);
    return end != text;
}

// No path (no folder the platform can reach) reads every value as its default.
void ReadIniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                  const wchar_t* defaultText, wchar_t (&value)[kValueCapacity]) {
    std::wmemset(value, L'\0', kValueCapacity);
    if (path.empty()) {
        std::wcsncpy(value, defaultText, kValueCapacity - 1);
        return;
    }
    GetPrivateProfileStringW(section, key, defaultText, value, kValueCapacity, path.c_str());
}

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

bool ReadIniBool(const std::wstring& path, const wchar_t* section, const wchar_t* key, bool defaultValue) {
    wchar_t value[kValueCapacity];
    ReadIniValue(path, section, key, defaultValue ? L"1" : L"0", value);
    for (const wchar_t* word : {L"true", L"yes", L"on"}) {
        if (_wcsicmp(value, word) == 0) {
            return true;
        }
    }
    for (const wchar_t* word : {L"false", L"no", L"off"}) {
        if (_wcsicmp(value, word) == 0) {
            return false;
        }
    }
    long number = 0;
    if (!ParseNumber(value, number)) {
        return defaultValue;
    }
    return number != 0;
}

uint8_t ReadIniByte(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                    uint8_t defaultValue) {
    wchar_t defaultText[16] = {};
    std::swprintf(defaultText, 16, L"%d", static_cast<int>(defaultValue));
    wchar_t value[kValueCapacity];
    ReadIniValue(path, section, key, defaultText, value);
    long number = 0;
    if (!ParseNumber(value, number)) {
        return defaultValue;
    }
    if (number < 0) {
        return 0;
    }
    if (number > 255) {
        return 255;
    }
    return static_cast<uint8_t>(number);
}

PluginSettings LoadSettings() {
    const std::wstring directory = GetPluginDirectory();
    // A bare file name would send the platform's INI functions to the Windows folder.
    const std::wstring path = directory.empty() ? std::wstring() : directory + L"Vorlaine.Crimsel.ini";
    if (!path.empty()) {
        EnsureIniFile(path);
    }

    PluginSettings settings{};
    for (const IniKey& key : kIniKeys) {
        const long defaultValue = std::wcstol(key.DefaultText, nullptr, 10);
        if (key.Flag != nullptr) {
            settings.*key.Flag = ReadIniBool(path, key.Section, key.Key, defaultValue != 0);
        } else {
            settings.*key.Byte = ReadIniByte(path, key.Section, key.Key, static_cast<uint8_t>(defaultValue));
        }
    }
    return settings;
}
