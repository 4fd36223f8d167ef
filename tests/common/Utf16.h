#pragma once

// An ASCII text as UTF-16, little- or big-endian, without a byte-order mark.

#include <string>

inline std::string Utf16(const std::string& text, bool bigEndian) {
    std::string wide;
    for (char c : text) {
        wide += bigEndian ? '\0' : c;
        wide += bigEndian ? c : '\0';
    }
    return wide;
}
