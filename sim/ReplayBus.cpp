#include "sim/ReplayBus.h"

#include <algorithm>

#include "link/FrameCodec.h"
#include "sim/SimServer.h"

namespace {
// A log's gaps may be broken by a clock change at the site: no answer waits longer than this.
constexpr int64_t kLongestGapMs = 10000;
}  // namespace

ReplayBus::ReplayBus(ReplayLog log, bool keepTiming, bool paced)
    : log_(std::move(log)), keepTiming_(keepTiming), paced_(paced) {
    for (const auto& [request, answers] : log_.Answers) {
        longest_ = std::max(longest_, request.size());
        // VRX 2.0 requests end in a checksum, not in the terminator: they are found by their tail.
        if (request.back() != kFrameEnd &&
            std::find(openLengths_.begin(), openLengths_.end(), request.size()) == openLengths_.end())
            openLengths_.push_back(request.size());
    }
}

std::vector<BusOutput> ReplayBus::Receive(std::span<const uint8_t> bytes, LineSettings line, int64_t nowMs) {
    std::vector<BusOutput> out;
    for (uint8_t byte : bytes) {
        heard_.push_back(byte);
        if (byte == kFrameEnd) {
            std::vector<uint8_t> frame;
            frame.swap(heard_);
            for (BusOutput& o : Answer(frame, line, nowMs)) out.push_back(std::move(o));
            continue;
        }
        for (size_t length : openLengths_) {
            if (heard_.size() < length) continue;
            std::vector<uint8_t> tail(heard_.end() - std::ptrdiff_t(length), heard_.end());
            if (!log_.Answers.contains(tail)) continue;
            heard_.clear();
            for (BusOutput& o : Answer(tail, line, nowMs)) out.push_back(std::move(o));
            break;
        }
        // Noise without a terminator must not pile up.
        if (heard_.size() > longest_ + 1) heard_.erase(heard_.begin(), heard_.end() - std::ptrdiff_t(longest_));
    }
    return out;
}

std::vector<BusOutput> ReplayBus::Answer(const std::vector<uint8_t>& request, LineSettings line, int64_t nowMs) {
    auto found = log_.Answers.find(request);
    if (found == log_.Answers.end()) {
        ++unknown_;
        return {};
    }
    const std::vector<ReplayAnswer>& answers = found->second;
    size_t& next = next_[request];
    const ReplayAnswer& a = answers[std::min(next, answers.size() - 1)];
    if (next < answers.size()) ++next;
    if (a.Bytes.empty()) return {};
    int64_t delay = 0;
    if (keepTiming_ && a.GapMs > 0) {
        delay = a.GapMs;
        // The recorded gap holds both frames on the line; a paced answer spends its own share.
        if (paced_) {
            const auto onLine = ByteTime(line.BitRate) * int64_t(request.size() + a.Bytes.size());
            delay -= std::chrono::duration_cast<std::chrono::milliseconds>(onLine).count();
        }
        delay = std::clamp<int64_t>(delay, 0, kLongestGapMs);
    }
    return {BusOutput{nowMs + delay, a.Bytes, line.BitRate}};
}
