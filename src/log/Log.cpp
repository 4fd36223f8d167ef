#include "log/Log.h"

#include "config/PluginPaths.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool LogEnabled = false;
bool LogLockReady = false;
std::wstring LogFilePath;
CRITICAL_SECTION LogLock;

namespace {

constexpr size_t kMessageCapacity = 1024;
constexpr size_t kLineCapacity = 1200;

} // namespace

size_t FormatLogEntry(char* line, size_t capacity, const SYSTEMTIME& time, const char* message) {
    std::memset(line, 0, capacity);
    // msvcrt's formatter leaves the buffer unterminated when it cuts, hence the
    // cleared buffer and the spare last byte.
    _snprintf(line, capacity - 1, "[%04u-%02u-%02u %02u:%02u:%02u.%03u] %s", time.wYear, time.wMonth,
              time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds, message);
    return std::strlen(line);
}

void StartLog(bool enable) {
    LogEnabled = enable;
    if (!enable) {
        return;
    }
    // Hooks may be writing through the path already at a second start.
    if (LogFilePath.empty()) {
        const std::wstring directory = GetPluginDirectory();
        // No folder the platform can reach: a bare name would land in the current folder.
        if (directory.empty()) {
            LogEnabled = false;
            return;
        }
        LogFilePath = directory + L"Crimsel.log";
    }
    if (!LogLockReady) {
        InitializeCriticalSection(&LogLock);
        LogLockReady = true;
    }
    // At a second start hooks may be appending: the file is emptied between two of their lines.
    EnterCriticalSection(&LogLock);
    HANDLE file = CreateFileW(LogFilePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    LeaveCriticalSection(&LogLock);
    LogMessage("Logger initialized");
}

void LogMessage(const char* format, ...) {
    if (!LogEnabled || !LogLockReady) {
        return;
    }
    char message[kMessageCapacity] = {};
    va_list args;
    va_start(args, format);
    _vsnprintf(message, kMessageCapacity - 1, format, args);
    va_end(args);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[kLineCapacity];
    const size_t length = FormatLogEntry(line, kLineCapacity, now, message);

    EnterCriticalSection(&LogLock);
    HANDLE file = CreateFileW(LogFilePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
        WriteFile(file, "\r\n", 2, &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&LogLock);
}
