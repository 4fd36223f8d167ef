#pragma once

#include <string>
#include <windows.h>

// Logger state: written by StartLog on the start-up thread before any hook is
// installed, read without the lock afterwards.
extern bool LogEnabled;
extern bool LogLockReady;
extern std::wstring LogFilePath;
extern CRITICAL_SECTION LogLock;

// Switches the log on or off; when on, empties the log file and writes the first line.
void StartLog(bool enable);

// Both compilers check LogMessage's arguments against its format: GCC knows the
// platform runtime's own printf, clang only the standard one, which agrees with
// it on every conversion that the plug-in uses.
#if defined(__clang__)
#define LOG_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define LOG_FORMAT __attribute__((format(ms_printf, 1, 2)))
#endif

// Appends one time-stamped line; does nothing while logging is off. The format
// is the platform runtime's, so "%p" prints eight upper-case hex digits.
void LogMessage(const char* format, ...) LOG_FORMAT;

// Writes "[YYYY-MM-DD hh:mm:ss.mmm] message" into line (always terminated);
// returns the length of the text.
size_t FormatLogEntry(char* line, size_t capacity, const SYSTEMTIME& time, const char* message);
