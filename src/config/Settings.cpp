#include "config/Settings.h"

#include "config/IniFile.h"
#include "config/IniKeys.h"
#include "config/PluginPaths.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <windows.h>

namespace {

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
    // At most three digits: the text always fits, so the count is of no use.
    static_cast<void>(std::swprintf(defaultText, 16, L"%d", static_cast<int>(defaultValue)));
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
