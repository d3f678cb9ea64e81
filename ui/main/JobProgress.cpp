#include "ui/main/JobProgress.h"

std::string JobProgressText(uint64_t done, uint64_t total, uint64_t elapsedMs) {
    if (total == 0) return {};
    if (done > total) done = total;
    std::string text = std::to_string(done * 100 / total) + " %";
    // Under a second or before anything arrived the pace says nothing yet.
    constexpr uint64_t kShortestPaceMs = 1000;
    if (done == 0 || done == total || elapsedMs < kShortestPaceMs) return text;
    const uint64_t leftS = (elapsedMs * (total - done) / done + 999) / 1000;
    const uint64_t seconds = leftS % 60;
    text += ", осталось " + std::to_string(leftS / 60) + (seconds < 10 ? ":0" : ":") + std::to_string(seconds);
    return text;
}
