#include "sim/Faults.h"

#include "link/FrameCodec.h"

namespace {
struct FaultShare {
    Fault Kind;
    int FaultPlan::*Percent;
    const char* Name;
};
constexpr FaultShare kShares[] = {
    {Fault::Drop, &FaultPlan::DropPercent, "dropped"},
    {Fault::Late, &FaultPlan::LatePercent, "late"},
    {Fault::Cut, &FaultPlan::CutPercent, "cut"},
    {Fault::BadCrc, &FaultPlan::BadCrcPercent, "bad CRC"},
    {Fault::WrongEcho, &FaultPlan::WrongEchoPercent, "wrong echo"},
};

bool IsFramingByte(uint8_t b) {
    return b == kFrameEnd || b == kEscapedEnd || b == kFrameEscape || b == kEscapedEscape;
}
}  // namespace

const char* FaultName(Fault f) {
    for (const FaultShare& s : kShares)
        if (s.Kind == f) return s.Name;
    return "none";
}

FaultInjector::FaultInjector(FaultPlan plan, uint64_t seed) : plan_(std::move(plan)), rng_(seed) {}

std::optional<uint8_t> FaultInjector::ForcedResult(uint8_t command) const {
    for (const FaultPlan::ForcedResult& f : plan_.ForcedResults)
        if (f.Command == command) return f.Result;
    return std::nullopt;
}

Fault FaultInjector::Draw() {
    if (!plan_.Any()) return Fault::None;
    Fault chosen = Fault::None;
    for (const FaultShare& s : kShares) {
        bool hit = int(rng_() % 100) < plan_.*s.Percent;
        if (hit && chosen == Fault::None) chosen = s.Kind;
    }
    return chosen;
}

void SpoilCrc(std::vector<uint8_t>& frame) {
    // From the end: the last bytes before the terminator are the CRC. A byte right after an
    // escape is part of the pair and stays; so does any byte that is or would become a
    // framing byte.
    for (size_t i = frame.size() >= 2 ? frame.size() - 2 : 0; i < frame.size(); --i) {
        uint8_t b = frame[i];
        bool escapedPartner = i > 0 && frame[i - 1] == kFrameEscape;
        if (escapedPartner || IsFramingByte(b) || IsFramingByte(b ^ 0x01)) continue;
        frame[i] = b ^ 0x01;
        return;
    }
}

void CutBeforeTerminator(std::vector<uint8_t>& frame) {
    if (!frame.empty() && frame.back() == kFrameEnd) frame.pop_back();
}

void SpoilEcho(std::vector<uint8_t>& content) {
    if (content.size() > 1) content[1] ^= 0x80;
}
