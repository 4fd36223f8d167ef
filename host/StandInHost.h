#pragma once

#include "HostFiles.h"

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

// The host's code pages, from 0x401000 to the end of the stand-in image.
extern "C" const uint8_t HostCodeStart[];
extern "C" const uint8_t HostCodeEnd[];

using InitializeAsiFunction = void (*)();

struct LoadedPlugin {
    HMODULE Module;
    InitializeAsiFunction InitializeASI;
};

struct HostByteChange {
    uint32_t Address;
    uint8_t Before;
    uint8_t After;
};

// A fresh, empty game folder named after the scenario, holding a copy of the built plug-in.
std::wstring CreateGameFolder(const std::wstring& name);

// Loads the plug-in from the game folder as an ASI loader does; Module is null on failure.
LoadedPlugin LoadPlugin(const std::wstring& gameFolder);

std::vector<uint8_t> CopyHostCode();
// Writes into the host's code pages, as another build of the game or another plug-in would have them.
void WriteHostCode(uint32_t address, const std::vector<uint8_t>& bytes);
// The five bytes of a near call (0xE8) or jump (0xE9) at site that leads to target.
std::vector<uint8_t> Branch(uint8_t opcode, uint32_t site, uint32_t target);
std::vector<HostByteChange> CompareHostCode(const std::vector<uint8_t>& before,
                                            const std::vector<uint8_t>& after);

// The text of each log line after its 26-character time stamp.
std::vector<std::string> LogEntries(const std::string& logBytes);
