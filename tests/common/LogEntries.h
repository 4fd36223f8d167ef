#pragma once

// The log as the tests read it: every line must be a whole entry, a time stamp
// and its message, ended by CR LF.

#include "HostFiles.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

// The message of every entry; fails the test on a line that is not a whole entry.
inline std::vector<std::string> WholeEntries(const std::string& log) {
    static const std::regex entry(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] (.*))");
    EXPECT_TRUE(log.empty() || log.compare(log.size() - 1, 1, "\n") == 0)
        << "the log does not end with CR LF";
    std::vector<std::string> messages;
    for (const std::string& line : LogLines(log)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, entry)) << "not a whole entry: " << line;
        messages.push_back(match.size() > 1 ? match[1].str() : line);
    }
    return messages;
}
