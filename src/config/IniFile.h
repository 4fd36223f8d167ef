#pragma once

#include <string>

// Creates the INI file from its template when it is missing, or completes an
// existing one in place, so that every key can be read and edited by the user.
void EnsureIniFile(const std::wstring& path);
