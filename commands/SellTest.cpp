#include "commands/SellTest.h"

#include <string>

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
    w.SelectedChannel = 0;
    bool dataSeen = false;
    bool doseStarted = false;
    LogLine("Начинаем тест продаж");

    for (uint32_t pass = 0;; ++pass) {
        if (w.SelectedChannel >= w.LogicalChannelCount()) w.SelectedChannel = 0;
        SyncDeviceState(w);
        if (w.ShouldStop()) return;
        ReadDataBlock(w);
        if (ComPort.Error == 0) dataSeen = true;
        ReadTime(w);
        ReadChannelSlice(w, pass);
        if (w.ShouldStop()) return;
        w.RunHandedOver();

        // No dose is loaded, started or confirmed before one data block has been read.
        if (!dataSeen) continue;
        switch (NextSellStep(w.DataBlockStatus, w.SelectedChannel)) {
        case SellStep::Skip:
        case SellStep::None:
            ++w.SelectedChannel;
            break;
        case SellStep::Confirm:
            ConfirmFillEnd(w);
            // A refused confirmation is tried again on the next pass.
            if (ComPort.Error != 0) break;
            ReadDataBlock(w);
            if (doseStarted) ++w.SelectedChannel;
            doseStarted = false;
            LogLine("Новый канал " + std::to_string(w.SelectedChannel));
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
