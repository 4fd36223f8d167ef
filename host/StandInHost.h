#pragma once

#include "HostCode.h"
#include "HostFiles.h"

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

using InitializeAsiFunction = void (*)();

struct LoadedPlugin {
    HMODULE Module;
    InitializeAsiFunction InitializeASI;
};

// A fresh, empty game folder named after the scenario, holding a copy of the built plug-in.
std::wstring CreateGameFolder(const std::wstring& name);

// Loads the plug-in from the game folder as an ASI loader does; Module is null on failure.
LoadedPlugin LoadPlugin(const std::wstring& gameFolder);

// The text of each log line after its 26-character time stamp.
std::vector<std::string> LogEntries(const std::string& logBytes);
