#include "HostCode.h"

#include <cstring>
#include <windows.h>

std::vector<uint8_t> CopyHostCode() {
    return std::vector<uint8_t>(HostCodeStart, HostCodeEnd);
}

void WriteHostCode(uint32_t address, const std::vector<uint8_t>& bytes) {
    void* start = reinterpret_cast<void*>(address);
    DWORD old = 0;
    VirtualProtect(start, bytes.size(), PAGE_EXECUTE_READWRITE, &old);
    std::memcpy(start, bytes.data(), bytes.size());
    VirtualProtect(start, bytes.size(), old, &old);
}

std::vector<uint8_t> Branch(uint8_t opcode, uint32_t site, uint32_t target) {
    const uint32_t displacement = target - (site + 5);
    std::vector<uint8_t> bytes(5, opcode);
    std::memcpy(bytes.data() + 1, &displacement, sizeof displacement);
    return bytes;
}

uint32_t BranchTarget(uint32_t site) {
    uint32_t displacement;
    std::memcpy(&displacement, reinterpret_cast<const void*>(site + 1), sizeof displacement);
    return site + 5 + displacement;
}

std::vector<HostByteChange> CompareHostCode(const std::vector<uint8_t>& before,
                                            const std::vector<uint8_t>& after) {
    std::vector<HostByteChange> changes;
    const uint32_t base = reinterpret_cast<uintptr_t>(HostCodeStart);
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] != after[i]) {
            changes.push_back({base + static_cast<uint32_t>(i), before[i], after[i]});
        }
    }
    return changes;
}
