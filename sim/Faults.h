#pragma once
// Answers spoiled on purpose, chosen by a seeded generator so that a run can be repeated.
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "sim/SimConfig.h"

enum class Fault { None, Drop, Late, Cut, BadCrc, WrongEcho };

const char* FaultName(Fault f);

class FaultInjector {
public:
    FaultInjector(FaultPlan plan, uint64_t seed);

    const FaultPlan& Plan() const { return plan_; }
    // The result code every answer to this command gets instead of its real answer.
    std::optional<uint8_t> ForcedResult(uint8_t command) const;
    // What happens to the next answer. Every fault gets its own draw each time, so the
    // sequence for one kind does not depend on the shares of the others.
    Fault Draw();

private:
    FaultPlan plan_;
    std::mt19937_64 rng_;
};

// Changes one byte of a finished frame so that its CRC no longer matches, keeping the
// framing intact (no terminator or escape is made or broken); the CRC bytes go first.
void SpoilCrc(std::vector<uint8_t>& frame);
// Drops the terminator, so the reader waits for the rest of the frame in vain.
void CutBeforeTerminator(std::vector<uint8_t>& frame);
// Echoes a command code other than the request's.
void SpoilEcho(std::vector<uint8_t>& content);
