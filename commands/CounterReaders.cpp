#include "commands/CounterReaders.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "engine/CounterRecords.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"

namespace {

constexpr uint8_t TotalsSub = 2;
constexpr uint8_t CountersSub = 3;

// TRK_StatusListView rows.
constexpr int VoltageRow = 3;
constexpr int TemperatureRow = 5;
constexpr int FlowmeterBaseRow = 8;
constexpr int8_t NoTemperatureSensor = -128;

std::string Litres(uint64_t millilitres) { return RealText(static_cast<double>(millilitres) / 1000); }
std::string Roubles(uint64_t kopecks) { return RealText(static_cast<double>(kopecks) / 100); }

bool ChannelIndexValid(int channel) { return channel >= 0 && channel < kChannelCount; }

// The five totals the main window and the flowmeter window show, each in its row.
struct TotalRows { int total, overfill, manual, remote, money; };
constexpr TotalRows MainWindowTotalRows{15, 16, 17, 18, 19};
constexpr TotalRows FlowmeterWindowTotalRows{7, 8, 9, 10, 11};
constexpr int FlowmeterPouredRow = 5;
constexpr int FlowmeterOverfillRow = 6;

template <typename SetCell>
void ShowTotals(const ChannelTotals& t, const TotalRows& rows, SetCell set) {
    set(rows.total, Litres(t.total));
    set(rows.overfill, Litres(t.overfillTotal));
    set(rows.manual, Litres(t.manual));
    set(rows.remote, Litres(t.remote));
    set(rows.money, Roubles(t.money));
}

}  // namespace

std::string FillStampTimeText(const FillStamp& stamp) {
    return TimeText(stamp.seconds) + "(" + TimeZoneText(stamp.zone) + "," +
           std::to_string(stamp.summerMode) + ")";
}

std::vector<std::pair<int, std::string>> LastFillRowTexts(const LastFill& f) {
    return {
        {27, UnsignedText(f.transaction)},
        {28, Litres(f.startedDose)},
        {29, Litres(f.poured)},
        {30, Litres(f.total)},
        {31, Litres(f.overfillTotal)},
        {32, FillStampTimeText(f.start)},
        {33, FillStampTimeText(f.end)},
        {34, DateText(f.start.seconds)},
        {35, DateText(f.end.seconds)},
        {36, UnsignedText(f.coefficient)},
        {37, Litres(f.flowmeterBase)},
    };
}

void ReadLastFill(TComThread& w) {
    const int channel = w.CurrentChannel;
    TRequest request{w.DeviceAddress, Cmd::ReadLastFill, static_cast<uint8_t>(channel)};
    RunExchange(w, ReadLastFill, request, 3, {.Status = &w.PollStatusText, .Needed = LastFillAnswer},
        [&](const uint8_t* answer, int) { std::copy_n(answer + 4, LastFillSize, w.LastFill.begin()); },
        [&] {
            if (channel >= w.LogicalChannelCount()) return;
            for (const auto& [row, text] : LastFillRowTexts(DecodeLastFill(w.LastFill)))
                w.Ui.Main->SetChStatus(row, channel, text);
        });
}

void ReadDataBlock(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadDataBlock};
    RunExchange(w, ReadDataBlock, request, 2, {.Status = &w.PollStatusText, .Needed = 4},
        [&](const uint8_t* answer, int length) {
            std::span<const uint8_t> bytes(answer, length);
            if (DataBlockChannels(bytes) == 0) {
                ComPort.ReportWrongLength(DataBlockAnswerFor(answer[3]));
                return;
            }
            std::copy_n(answer + 4, DataBlockStatusSize, w.DataBlockStatus.begin());
            // Only the records the answer carries; the rest would be left-overs of an
            // earlier answer in the buffer.
            w.DataBlockRecords.fill(0);
            int carried = std::min(DataBlockRecordsSize, length - 12);
            std::copy_n(answer + 12, carried, w.DataBlockRecords.begin());
        });
}

void ReadChannelTotals(TComThread& w) {
    const int channel = w.CurrentChannel;
    TRequest request{w.DeviceAddress, Cmd::ReadTotals, TotalsSub, static_cast<uint8_t>(channel)};
    RunExchange(w, ReadChannelTotals, request, 4, {.Status = &w.PollStatusText, .Needed = ChannelTotalsAnswer},
        [&](const uint8_t* answer, int length) {
            ChannelTotals totals = DecodeChannelTotals({answer, static_cast<size_t>(length)}, w.FlowmeterBase);
            if (ChannelIndexValid(channel)) w.ChannelTotalsRead[channel] = totals;
        },
        [&] {
            IMainView& main = *w.Ui.Main;
            if (!ChannelIndexValid(channel) || channel >= main.ChannelColumnCount()) return;
            main.SetTrkStatus(FlowmeterBaseRow, 0, Litres(w.FlowmeterBase) + " л");
            ShowTotals(w.ChannelTotalsRead[channel], MainWindowTotalRows,
                       [&](int row, const std::string& text) { main.SetChStatus(row, channel, text); });
        });
}

void ReadChannelCounters(TComThread& w) {
    const int channel = w.CurrentChannel;
    TRequest request{w.DeviceAddress, Cmd::ReadTotals, CountersSub, static_cast<uint8_t>(channel)};
    RunExchange(w, ReadChannelCounters, request, 4,
        {.Status = &w.PollStatusText, .Needed = ChannelCountersAnswer},
        [&](const uint8_t* answer, int length) {
            FlowmeterCounters counters =
                DecodeFlowmeterCounters({answer, static_cast<size_t>(length)}, w.FlowmeterBase);
            if (ChannelIndexValid(channel)) w.FlowmeterCountersRead[channel] = counters;
        },
        [&] {
            if (!ChannelIndexValid(channel)) return;
            IFlowmeterView& view = *w.Ui.Flowmeter;
            const FlowmeterCounters& c = w.FlowmeterCountersRead[channel];
            view.SetFlowmeterCell(FlowmeterPouredRow, channel, Litres(c.poured));
            view.SetFlowmeterCell(FlowmeterOverfillRow, channel, Litres(c.overfill));
            ShowTotals(c.totals, FlowmeterWindowTotalRows,
                       [&](int row, const std::string& text) { view.SetFlowmeterCell(row, channel, text); });
        });
}

void ReadTempsAndVoltages(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadTemps, static_cast<uint8_t>(w.CurrentChannel)};
    auto decode = [&](const uint8_t* answer, int length) {
        w.Temps = DecodeTempsAndVoltage({answer, static_cast<size_t>(length)}, answer[2]);
    };
    auto display = [&] {
        IMainView& main = *w.Ui.Main;
        main.SetTrkStatus(VoltageRow, 0, UnsignedText(w.Temps.voltage) + " В");
        main.SetTrkStatus(TemperatureRow, 0,
                          w.Temps.temperature == NoTemperatureSensor
                              ? "---" : std::to_string(w.Temps.temperature) + "°C");
        w.Ui.Config->SetIllum1Text(std::to_string(IlluminationPercent(w.Temps.illumination1)));
        w.Ui.Config->SetIllum2Text(std::to_string(IlluminationPercent(w.Temps.illumination2)));
        int& code = main.State().HdwErrCode;
        code = HdwErrCodeAfterModeReport(code, w.Temps.manualMode);
    };
    // Manual mode and a lost LPGmass link still carry the readings: the result code
    // only reports a condition of the controller, and a short answer is still short.
    RunExchange(w, ReadTempsAndVoltages, request, 3,
                {.Status = &w.PollStatusText, .Needed = TempsAnswer, .DataDespite = TempsResultCarriesData},
                decode, display);
}
