#pragma once

#include "config/PluginSettings.h"

#include <cstdint>
#include <string>

// Reads a switch and a colour value as the plug-in judges them: the six words, else
// a number in base 0 (a colour clamped to 0..255), else the default.
bool ReadIniBool(const std::wstring& path, const wchar_t* section, const wchar_t* key, bool defaultValue);
uint8_t ReadIniByte(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                    uint8_t defaultValue);

// Lets the INI file be created or completed, then reads the ten values;
// anything missing or unreadable takes its default.
PluginSettings LoadSettings();
