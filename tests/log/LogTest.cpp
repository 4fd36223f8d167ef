#include "log/Log.h"

#include "HostFiles.h"
#include "LogEntries.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The plug-in's code is linked into this executable, so it logs beside it.
std::wstring LogPath() {
    return ExecutableDirectory() + L"Crimsel.log";
}

std::string ReadLog() {
    return ReadFileBytes(LogPath());
}

void WriteLog(const std::string& text) {
    WriteFileBytes(LogPath(), text);
}

bool LogExists() {
    return FileExists(LogPath());
}

std::vector<std::string> Messages() {
    return WholeEntries(ReadLog());
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteFileW(LogPath().c_str()); }
    void TearDown() override { DeleteFileW(LogPath().c_str()); }
};

} // namespace

TEST(LogEntryFormat, PrefixIsZeroFilledAnd26CharactersLong) {
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 3;
    time.wDay = 7;
    time.wHour = 0;
    time.wMinute = 5;
    time.wSecond = 0;
    time.wMilliseconds = 42;
    char line[1200];
    const size_t length = FormatLogEntry(line, sizeof line, time, "after midnight");
    EXPECT_STREQ(line, "[2026-03-07 00:05:00.042] after midnight");
    EXPECT_EQ(length, 26u + 14u);

    time.wYear = 987;
    time.wMilliseconds = 7;
    FormatLogEntry(line, sizeof line, time, "");
    EXPECT_STREQ(line, "[0987-03-07 00:05:00.007] ");
}

TEST(LogEntryFormat, CutsTheEntryToItsBufferAndTerminatesIt) {
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 31;
    char line[40];
    std::memset(line, 'x', sizeof line);
    EXPECT_EQ(FormatLogEntry(line, sizeof line, time, "a message longer than the rest of the buffer"), 39u);
    EXPECT_EQ(line[39], '\0');
}

TEST_F(LogTest, DoesNothingBeforeStartOrWhenOff) {
    LogMessage("before start");
    EXPECT_FALSE(LogExists());
    EXPECT_FALSE(LogLockReady);

    StartLog(false);
    LogMessage("while off");
    EXPECT_FALSE(LogExists());
    EXPECT_FALSE(LogEnabled);
    EXPECT_FALSE(LogLockReady);
    EXPECT_TRUE(LogFilePath.empty());
}

TEST_F(LogTest, OffLeavesAnOldLogUntouched) {
    WriteLog("an earlier run\r\n");
    StartLog(false);
    LogMessage("while off");
    EXPECT_EQ(ReadLog(), "an earlier run\r\n");
}

TEST_F(LogTest, OnEmptiesAnOldLogBeforeItsFirstEntry) {
    WriteLog("an earlier run\r\nwith two lines\r\n");
    StartLog(true);
    EXPECT_TRUE(LogEnabled);
    EXPECT_TRUE(LogLockReady);
    EXPECT_EQ(LogFilePath, LogPath());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Logger initialized"});

    LogMessage("second %d", 2);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Logger initialized", "second 2"}));
}

TEST_F(LogTest, CutsALongMessageTo1023Characters) {
    StartLog(true);
    const std::string longText(2000, 'a');
    LogMessage("%s", longText.c_str());
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], std::string(1023, 'a'));
    // The whole entry: 26 prefix characters, the cut message, CR LF.
    const std::string log = ReadLog();
    EXPECT_EQ(log.size() - log.find("\r\n") - 2, 26u + 1023u + 2u);
}

TEST_F(LogTest, WritesArgumentsAsTheyAreWithThePlatformsFormats) {
    StartLog(true);
    LogMessage("%s", "100% sure: %d %s %p");
    LogMessage("player=%p null=%p", reinterpret_cast<void*>(0x001234ab), nullptr);
    LogMessage("time=%.3f flags=0x%02X addr=0x%08X", 1.25, 7u, 0x5BB512u);
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[1], "100% sure: %d %s %p");
    EXPECT_EQ(messages[2], "player=001234AB null=00000000");
    EXPECT_EQ(messages[3], "time=1.250 flags=0x07 addr=0x005BB512");
}

TEST_F(LogTest, ThreadsLoggingAtOnceWriteWholeLines) {
    StartLog(true);
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                LogMessage("thread %d line %04d %s", t, i,
                           "padding to make the lines long enough to overlap");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 1u + kThreads * kLines);
    int next[kThreads] = {};
    for (size_t i = 1; i < messages.size(); ++i) {
        int thread = -1;
        int line = -1;
        ASSERT_EQ(std::sscanf(messages[i].c_str(), "thread %d line %d", &thread, &line), 2) << messages[i];
        ASSERT_TRUE(thread >= 0 && thread < kThreads);
        EXPECT_EQ(line, next[thread]++) << "lines of one thread stay in order";
    }
}

TEST_F(LogTest, RecreatesADeletedLogWithTheLaterLinesOnly) {
    StartLog(true);
    LogMessage("before deletion");
    ASSERT_TRUE(DeleteFileW(LogPath().c_str()));
    LogMessage("after deletion");
    EXPECT_EQ(Messages(), std::vector<std::string>{"after deletion"});
}

DWORD WINAPI LogResumed(void*) {
    LogMessage("resumed");
    return 0;
}

// A line dropped on one thread leaves the lock free for the next line of another.
TEST_F(LogTest, DropsEntriesWhileTheFileIsLockedAndResumesAfterwards) {
    StartLog(true);
    HANDLE holder = CreateFileW(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::thread([] { LogMessage("dropped"); }).join();
    CloseHandle(holder);
    HANDLE resumer = CreateThread(nullptr, 0, &LogResumed, nullptr, 0, nullptr);
    ASSERT_NE(resumer, nullptr);
    ASSERT_EQ(WaitForSingleObject(resumer, 10000), WAIT_OBJECT_0) << "the dropped line kept the lock";
    CloseHandle(resumer);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Logger initialized", "resumed"}));
}

// Hooks may be logging through the path while a second start-up runs.
TEST_F(LogTest, ASecondStartKeepsThePathWhereItIs) {
    StartLog(true);
    const wchar_t* const path = LogFilePath.c_str();
    LogMessage("first run");
    StartLog(true);
    EXPECT_EQ(LogFilePath.c_str(), path);
    EXPECT_EQ(LogFilePath, LogPath());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Logger initialized"});
}
