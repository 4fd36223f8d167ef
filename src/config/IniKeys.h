#pragma once

#include "config/PluginSettings.h"

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
