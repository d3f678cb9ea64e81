#pragma once
// The display boards' test as the simulated controller saw it: its automatic runs and the
// picture last shown by hand.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/StatusState.h"

constexpr int kSimTestFrameSize = 44;  // parameter bytes of a test frame request

struct SimTabloTest {
    int AutoTestStarts = 0;
    int64_t AutoTestStartedMs = 0;
    int FramesShown = 0;
    // 28 segment bytes, the indicator word (low byte first), then 14 bytes the boards ignore.
    std::array<uint8_t, kSimTestFrameSize> LastFrame{};
};

// Lines for the -v log: the test frame drawn as the board shows it, and the display devices.
std::vector<std::string> TestFrameLines(const std::array<uint8_t, kSimTestFrameSize>& frame);
std::vector<std::string> DisplayDeviceLines(const SimStatusState& status);
