#include "config/IniFile.h"

void EnsureIniFile(const std::wstring&) {}
