#pragma once
// The endless sales run: polls the controller like the poll cycle and, channel after channel,
// sells a dose of 10 l whenever the channel is ready and confirms the finished fill.
#include <array>
#include <cstdint>

#include "engine/CounterRecords.h"

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
