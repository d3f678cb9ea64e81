#include "engine/DeviceState.h"

#include <algorithm>

int TDeviceState::LogicalChannelCount() const {
    // The sub-controller configuration knows the logical channels when boards are attached.
    // The controller does not bound the count; the tables end at channel 14.
    return CappedChannelCount(SubTrkCfg[2] != 0 ? SubTrkCfg[2] : TrkCfg[0]);
}

void TMainWindowTables::RememberPrice(int channel, uint32_t price) {
    if (channel < 0 || channel >= kChannelCount) return;
    KnownPrices[channel] = price;
    KnownPriceMask |= 1u << channel;
}

bool TMainWindowTables::PriceKnown(int channel) const {
    return channel >= 0 && channel < kChannelCount && (KnownPriceMask >> channel & 1u) != 0;
}

int CappedChannelCount(int count) { return std::clamp(count, 0, kChannelCount); }
