#pragma once
// A controller that only repeats a recorded log: each request frame gets the answers recorded
// for the same bytes, one after the other, the last one again and again. A request never
// recorded, and a recorded silence, get nothing.
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/ReplayLog.h"
#include "sim/SimBus.h"

class ReplayBus {
public:
    // keepTiming: an answer leaves as long after its request as it did at the site.
    ReplayBus(ReplayLog log, bool keepTiming, bool paced);

    std::vector<BusOutput> Receive(std::span<const uint8_t> bytes, LineSettings line, int64_t nowMs);

    int Unknown() const { return unknown_; }  // frames that matched no recorded request

private:
    std::vector<BusOutput> Answer(const std::vector<uint8_t>& request, LineSettings line, int64_t nowMs);

    ReplayLog log_;
    std::map<std::vector<uint8_t>, size_t> next_;  // per request: index of the answer to give
    std::vector<size_t> openLengths_;  // lengths of recorded requests not ending in a terminator
    std::vector<uint8_t> heard_;       // bytes since the last frame end
    size_t longest_ = 0;
    bool keepTiming_;
    bool paced_;
    int unknown_ = 0;
};
