#include "commands/SellTest.h"

#include <string>
#include <utility>

#include "commands/CounterReaders.h"
#include "commands/DoseCommands.h"
#include "commands/FlowmeterCommands.h"
#include "commands/FlowmeterTexts.h"
#include "commands/PeripheralCommands.h"
#include "commands/PollCycle.h"
#include "commands/TimeCommands.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"

namespace {

constexpr int kChannelsPerRound = 5;
constexpr uint8_t kCryptoFlowmeter = 3;
constexpr uint32_t kTestDoseMl = 10000;
enum StatusByte { kFinishedByte = 2, kReadyByte = 6 };
constexpr int kBlockedBytes[] = {5, 4, 3};

std::string TrimmedLine(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

void LogLine(const std::string& text) {
    TELogger entry;
    entry.Append(text + "\r\n");
}

// Reads of one pass for the channel of the pass counter, as the poll cycle would.
void ReadChannelSlice(TComThread& w, uint32_t pass) {
    w.CurrentChannel = int(pass % kChannelsPerRound);
    if (w.CurrentChannel < w.LogicalChannelCount()) {
        ReadPrice(w);
        ReadChannelTotals(w);
        ReadTempsAndVoltages(w);
        ReadLastFill(w);
        if (w.FlowmeterData[w.CurrentChannel][FlowmeterDataAt::Type] == kCryptoFlowmeter)
            ReadCryptoFlowmeterData(w);
        else
            ShowCryptoNotPolled(w);
    }
    ReadChannelCounters(w);
    if (pass % kChannelsPerRound == 0) ReadSoundGenStatus(w);
}

}  // namespace

SellStep NextSellStep(const std::array<uint8_t, DataBlockStatusSize>& status, int channel) {
    if (channel < 0 || channel >= 8) return SellStep::None;
    const auto mask = uint8_t(1u << channel);
    for (int byte : kBlockedBytes)
        if (status[size_t(byte)] & mask) return SellStep::Skip;
    if (status[kFinishedByte] & mask) return SellStep::Confirm;
    if (status[kReadyByte] & mask) return SellStep::Sell;
    return SellStep::None;
}

void RunSellTest(TComThread& w) {
    w.CurrentChannel = 0;
    // The run's own channel: a dose window click stages SelectedChannel for its own command.
    int channel = 0;
    bool doseStarted = false;
    ConfirmRetry retry;
    LogLine("Начинаем тест продаж");

    for (uint32_t pass = 0;; ++pass) {
        if (channel >= w.LogicalChannelCount()) channel = 0;
        SyncDeviceState(w);
        if (w.ShouldStop()) return;
        ReadDataBlock(w);
        // Status bytes of an earlier pass may tell of a channel that is pouring by now.
        const bool fresh = ComPort.Error == 0;
        ReadTime(w);
        ReadChannelSlice(w, pass);
        if (w.ShouldStop()) return;
        w.RunHandedOver();

        // No dose is loaded, started or confirmed but on the status bytes read in this pass.
        if (!fresh) continue;
        w.SelectedChannel = channel;
        switch (NextSellStep(w.DataBlockStatus, channel)) {
        case SellStep::Skip:
        case SellStep::None:
            ++channel;
            break;
        case SellStep::Confirm:
            if (!retry.Due(channel, SteadyClockMs())) break;
            ConfirmFillEnd(w);
            if (ComPort.Error != 0) {
                // Tried again a little later; the log tells of it once.
                if (retry.Refused(channel, SteadyClockMs()))
                    LogLine("Подтверждение канала " + std::to_string(channel + 1) + " не принято: " +
                            TrimmedLine(ComPort.ResultText));
                break;
            }
            retry.Accepted(channel);
            ReadDataBlock(w);
            if (doseStarted) ++channel;
            doseStarted = false;
            LogLine("Новый канал " + std::to_string(channel));
            break;
        case SellStep::Sell:
            w.DoseKind = 0;
            w.DoseAmount = kTestDoseMl;
            LoadDose(w);
            StartDose(w);
            doseStarted = true;
            ReadDataBlock(w);
            break;
        }
    }
}

bool ConfirmRetry::Due(int channel, uint64_t nowMs) const {
    return !InRange(channel) || nowMs >= nextTryMs_[size_t(channel)];
}

bool ConfirmRetry::Refused(int channel, uint64_t nowMs) {
    if (!InRange(channel)) return false;
    nextTryMs_[size_t(channel)] = nowMs + kPauseMs;
    return !std::exchange(logged_[size_t(channel)], true);
}

void ConfirmRetry::Accepted(int channel) {
    if (!InRange(channel)) return;
    nextTryMs_[size_t(channel)] = 0;
    logged_[size_t(channel)] = false;
}
