#pragma once

// The stand-in host's code pages, from 0x401000 to the end of its image: read,
// compared, and written as another build of the game or another plug-in would
// have them.

#include <cstdint>
#include <vector>

extern "C" const uint8_t HostCodeStart[];
extern "C" const uint8_t HostCodeEnd[];

constexpr uint8_t kNearCall = 0xE8;
constexpr uint8_t kNearJump = 0xE9;

struct HostByteChange {
    uint32_t Address;
    uint8_t Before;
    uint8_t After;
};

std::vector<uint8_t> CopyHostCode();
// The bytes that differ between two copies of the code pages.
std::vector<HostByteChange> CompareHostCode(const std::vector<uint8_t>& before,
                                            const std::vector<uint8_t>& after);
void WriteHostCode(uint32_t address, const std::vector<uint8_t>& bytes);
// The five bytes of a near call (0xE8) or jump (0xE9) at site that leads to target.
std::vector<uint8_t> Branch(uint8_t opcode, uint32_t site, uint32_t target);
// Where the near call or jump at site leads.
uint32_t BranchTarget(uint32_t site);
