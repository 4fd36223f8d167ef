#pragma once

#include <cstdint>
#include <string>
#include <windows.h>

// The ten settings, in the order in which they are read from the INI file.
struct PluginSettings {
    bool FixExecutionBloodDecals;
    bool PatchBloodDecalColorAndAlpha;
    bool FixStaleDamageMapDecals;
    bool EnableLogging;
    bool LogDamageMapDiagnostics;
    bool LogExecutionDecals;
    uint8_t Red;
    uint8_t Green;
    uint8_t Blue;
    uint8_t Alpha;
};

// One setting, the one place where it is spelled: its key in the INI file, its
// default as the file writes it, the comment that the template puts above it,
// and the field of PluginSettings that it fills. Keys stand in file order.
struct IniKey {
    const wchar_t* Section;
    const wchar_t* Key;
    const wchar_t* DefaultText;
    const wchar_t* Comment;        // without its "# "; null for none
    bool PluginSettings::*Flag;    // a switch, or null
    uint8_t PluginSettings::*Byte; // a value from 0 to 255, or null
};

constexpr unsigned kIniKeyCount = 10;
extern const IniKey kIniKeys[kIniKeyCount];

// The directory of the plug-in's own library file, with its trailing separator,
// in a form whose files the platform's INI and file functions can open: its
// short form when the whole path is too long for them. Empty when the plug-in
// lies at a path that has no such form: then no file is read or written.
std::wstring GetPluginDirectory();

// The full path of a module's file (of the process's executable when module is
// null), read whole however long; empty when the platform gives none.
std::wstring ModuleFilePath(HMODULE module);

// A path in its "\\?\" form, which reaches any depth, and without it again, as
// the platform's INI functions take a path.
std::wstring LongPathForm(const std::wstring& path);
std::wstring OrdinaryPathForm(const std::wstring& path);

// A directory, with its separator, in which the platform's INI functions (which
// copy a path into MAX_PATH characters) can reach every file the plug-in keeps:
// the directory itself, or its short form; empty when neither is short enough.
std::wstring ReachableDirectory(const std::wstring& directory);

// The directory part of a path, up to and including its last "\" or "/";
// empty when the path holds no separator.
std::wstring DirectoryOfPath(const wchar_t* path);

bool ReadIniBool(const std::wstring& path, const wchar_t* section, const wchar_t* key, bool defaultValue);
uint8_t ReadIniByte(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                    uint8_t defaultValue);

// Lets the INI file be created or completed, then reads the ten values;
// anything missing or unreadable takes its default.
PluginSettings LoadSettings();
