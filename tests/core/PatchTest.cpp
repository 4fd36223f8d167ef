// The patch primitives, writing into the stand-in host's code pages.
#include "core/Patch.h"
#include "log/Log.h"

#include "HostFiles.h"
#include "HostFunctions.h"
#include "HostLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <windows.h>

namespace {

DWORD Protection(uintptr_t address) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info);
    return info.Protect;
}

std::vector<uint8_t> Bytes(uintptr_t address, size_t count) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(address);
    return std::vector<uint8_t>(start, start + count);
}

uint32_t Displacement(uintptr_t address) {
    uint32_t value;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return value;
}

// The plug-in's code is linked into this executable, so it logs beside it.
std::wstring LogPath() {
    return ExecutableDirectory() + L"Crimsel.log";
}

std::string ReadLog() {
    return ReadFileBytes(LogPath());
}

} // namespace

TEST(RetargetCall, WritesOnlyTheDisplacementAndTheCallReachesTheNewTarget) {
    const std::vector<uint8_t> before = Bytes(kExecutionUpdateCall - 8, 24);
    // A target below the call site: the displacement is negative, in two's complement.
    RetargetCall(kExecutionUpdateCall, reinterpret_cast<const void*>(kGetCurrentAnimation));
    const std::vector<uint8_t> after = Bytes(kExecutionUpdateCall - 8, 24);

    EXPECT_EQ(Displacement(kExecutionUpdateCall + 1),
              static_cast<uint32_t>(kGetCurrentAnimation - (kExecutionUpdateCall + 5)));
    EXPECT_EQ(static_cast<int32_t>(Displacement(kExecutionUpdateCall + 1)),
              -static_cast<int32_t>(kExecutionUpdateCall + kCallSize - kGetCurrentAnimation));
    for (size_t i = 0; i < before.size(); ++i) {
        if (i < 9 || i > 12) {
            EXPECT_EQ(before[i], after[i]) << "byte at offset " << i;
        }
    }
    EXPECT_EQ(after[8], 0xE8);

    ClearHostJournal();
    static uint8_t object[16] = {};
    const uint32_t ecx = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object));
    volatile uint32_t update = kHostExecutionUpdate;
    CallWithSentinels(update, ecx);
    const std::vector<HostCall> calls = HostJournal();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Function, HostFunction::GetCurrentAnimation);
    EXPECT_EQ(calls[0].Ecx, ecx);
    EXPECT_EQ(LastRegisterCheck.EspAfter, LastRegisterCheck.EspBefore);
}

TEST(WriteJumpAndNops, WriteTheJumpThenTheFillAndKeepThePageProtection) {
    const uintptr_t site = kAddCharacterDecal;
    const uintptr_t target = kCodeBase;
    const DWORD protection = Protection(site);
    ASSERT_EQ(protection, static_cast<DWORD>(PAGE_EXECUTE_READ));
    const std::vector<uint8_t> beyond = Bytes(site + 9, 8);

    WriteJump(site, reinterpret_cast<const void*>(target));
    WriteNops(site + 5, 4);

    const std::vector<uint8_t> written = Bytes(site, 9);
    EXPECT_EQ(written[0], 0xE9);
    EXPECT_EQ(Displacement(site + 1), static_cast<uint32_t>(target - (site + 5)));
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 5, written.end()), std::vector<uint8_t>(4, 0x90));
    EXPECT_EQ(Bytes(site + 9, 8), beyond);
    // Several windows in one page: each gives back the page's former protection.
    EXPECT_EQ(Protection(site), protection);
    EXPECT_EQ(Protection(site + 5), protection);
}

TEST(WriteProtectedBytes, WritingThePatchTwiceLeavesTheSameBytesAndProtection) {
    const uint8_t colour[] = {0x7F};
    const uint8_t word[] = {0x12, 0x34};
    WriteProtectedBytes(kHostExecutionUpdate + 1, colour, 1);
    WriteProtectedBytes(kHostExecutionUpdate + 2, word, 2);
    RetargetCall(kExecutionUpdateCall, reinterpret_cast<const void*>(kAddCharacterDecal));
    const std::vector<uint8_t> once = Bytes(kHostExecutionUpdate, 16);
    const DWORD protection = Protection(kHostExecutionUpdate);

    WriteProtectedBytes(kHostExecutionUpdate + 1, colour, 1);
    WriteProtectedBytes(kHostExecutionUpdate + 2, word, 2);
    RetargetCall(kExecutionUpdateCall, reinterpret_cast<const void*>(kAddCharacterDecal));
    EXPECT_EQ(Bytes(kHostExecutionUpdate, 16), once);
    EXPECT_EQ(Protection(kHostExecutionUpdate), protection);
    EXPECT_EQ(protection, static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(once[1], 0x7F);
    EXPECT_EQ(once[2], 0x12);
    EXPECT_EQ(once[3], 0x34);
}

TEST(WriteProtectedBytes, RestoresADataPagesOwnProtection) {
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    ASSERT_NE(page, nullptr);
    const uint8_t bytes[] = {1, 2, 3, 4};
    WriteProtectedBytes(reinterpret_cast<uintptr_t>(page) + 100, bytes, 4);
    EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(page) + 100, bytes, 4), 0);
    EXPECT_EQ(Protection(reinterpret_cast<uintptr_t>(page)), static_cast<DWORD>(PAGE_READONLY));
}

// The log stays: the players' page's tests read its "Patch skipped" lines.
TEST(WriteProtectedBytes, SkipsAndLogsAWindowThatCannotBeMadeWritable) {
    DeleteFileW(LogPath().c_str());
    StartLog(true);
    // Reserved but never committed: no protection change can make it writable,
    // and a store there would fault.
    void* reserved = VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    const uintptr_t site = reinterpret_cast<uintptr_t>(reserved) + 0x10;
    const uint8_t bytes[] = {0xE9, 1, 2, 3, 4};
    WriteProtectedBytes(site, bytes, 5);
    WriteJump(site, reinterpret_cast<const void*>(site));
    WriteNops(site, 2);

    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "] Patch skipped: 0x%08X (5 bytes) could not be made writable\r\n",
                  static_cast<unsigned>(site));
    const std::string log = ReadLog();
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    std::snprintf(expected, sizeof expected,
                  "] Patch skipped: 0x%08X (2 bytes) could not be made writable\r\n",
                  static_cast<unsigned>(site));
    EXPECT_NE(log.find(expected), std::string::npos) << log;
}
