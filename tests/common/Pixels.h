#pragma once

// The pixel checks: the stand-in's Direct3D 9 device, and Direct3D 9's blend
// equation to judge what it drew.

#include "Drawings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

// Starts the device, or fails at once saying why (under Wine: no X display).
inline ::testing::AssertionResult DeviceStarted() {
    std::string failure;
    if (StartRenderer(failure)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no Direct3D 9 device: " << failure;
}

// source × its factor + destination × its factor, channel by channel, for the
// factors 1 zero, 2 one, 5 source alpha and 6 inverse source alpha.
inline uint32_t Blend(uint32_t source, uint32_t destination, int sourceFactor, int destinationFactor) {
    const double alpha = (source >> 24) / 255.0;
    const auto factor = [alpha](int code) {
        return code == 1 ? 0.0 : code == 2 ? 1.0 : code == 5 ? alpha : 1.0 - alpha;
    };
    uint32_t out = 0;
    for (int shift : {24, 16, 8, 0}) {
        const double value = ((source >> shift) & 0xFF) * factor(sourceFactor) +
                             ((destination >> shift) & 0xFF) * factor(destinationFactor);
        out |= static_cast<uint32_t>(std::lround(std::fmin(value, 255.0))) << shift;
    }
    return out;
}

// True when each channel differs by at most one.
inline ::testing::AssertionResult Near(uint32_t drawn, uint32_t expected) {
    for (int shift : {24, 16, 8, 0}) {
        const int difference =
            static_cast<int>((drawn >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF);
        if (difference > 1 || difference < -1) {
            return ::testing::AssertionFailure()
                   << std::hex << "drawn 0x" << drawn << ", expected 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}
