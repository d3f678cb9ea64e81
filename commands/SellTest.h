#pragma once
// The endless sales run: polls the controller like the poll cycle and, channel after channel,
// sells a dose of 10 l whenever the channel is ready and confirms the finished fill.
#include <array>
#include <cstdint>

#include "engine/CounterRecords.h"
#include "engine/DeviceState.h"

class TComThread;

void RunSellTest(TComThread& w);

// What the data block's status bytes say the sell channel needs next.
enum class SellStep {
    Skip,     // blocked (status byte 3, 4 or 5): on to the next channel
    Confirm,  // a finished fill waits for its confirmation (status byte 2)
    Sell,     // ready to sell (status byte 6)
    None,     // anything else: on to the next channel
};
SellStep NextSellStep(const std::array<uint8_t, DataBlockStatusSize>& status, int channel);

// When a refused confirmation is sent again: not before a pause, so a controller that keeps
// refusing gets a few tries a second, not thousands; and whether the refusal is news for the log.
class ConfirmRetry {
public:
    static constexpr uint64_t kPauseMs = 400;

    bool Due(int channel, uint64_t nowMs) const;
    // Returns true the first time the channel's confirmation is refused since it last went through.
    bool Refused(int channel, uint64_t nowMs);
    void Accepted(int channel);

private:
    static bool InRange(int channel) { return channel >= 0 && channel < kChannelCount; }
    std::array<uint64_t, kChannelCount> nextTryMs_{};
    std::array<bool, kChannelCount> logged_{};
};
