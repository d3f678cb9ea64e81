#include "commands/FlowmeterCommands.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "engine/OperationPattern.h"
#include "link/ComPortUnit.h"

namespace {

constexpr uint8_t kSubFlowmeterData = 1;
constexpr uint8_t kSubCryptoTempOffset = 1;

constexpr int kFlowmeterDataAnswerLength = 38;  // the record sits at answer bytes 5..37
constexpr int kFlowmeterDataAt = 5;
constexpr int kCryptoAnswerLength = 42;         // the record sits at answer bytes 4..41
constexpr int kCryptoDataAt = 4;

// The controller's result codes that are news about the flowmeter rather than failures.
constexpr int32_t kCryptoNotAnsweringCode = 196;
constexpr int32_t kLpgNoLinkCode = 199;

// The temperature offset is written to flash inside the flowmeter, which takes a while.
constexpr uint32_t kTempOffsetTimeoutMs = 3000;

void ShowRows(IFlowmeterView& view, int flowmeter, const std::vector<RowText>& rows) {
    for (const RowText& r : rows) view.SetFlowmeterCell(r.Row, flowmeter, r.Text);
}

// Types 1..3 are other meters; 0 is also what a channel holds before its first good read.
bool MayBeLpgMass(uint8_t recordedType) {
    return recordedType == 0 || recordedType >= kLpgMassFlowmeterType;
}

void WriteSelected(TComThread& w, Op self, std::initializer_list<uint8_t> tail, uint32_t timeoutMs = 500) {
    TRequest request{w.DeviceAddress};
    int length = 1;
    for (uint8_t b : tail) request[length++] = b;
    RunExchange(w, self, request, length, {.Status = &w.CommandStatusText, .TimeoutMs = timeoutMs});
}

}  // namespace

void ShowCryptoBlank(IFlowmeterView& view, int flowmeter, CryptoBlank kind) {
    ShowRows(view, flowmeter, CryptoBlankTexts(kind));
    // The status hint must not go on explaining a status the column no longer shows.
    view.SetCryptoStatus(flowmeter, kind == CryptoBlank::NotAnswering ? kCryptoNotAnswered : kCryptoNoStatus);
}

void ShowCryptoNotPolled(TComThread& w) {
    const int n = w.CurrentChannel;
    w.Synchronize([&] { ShowCryptoBlank(*w.Ui.Flowmeter, n, CryptoBlank::NotPolled); });
}

void ReadFlowmeterData(TComThread& w) {
    const int n = w.CurrentChannel;
    if (RefuseOutOfRange(w, ReadFlowmeterData, n, kChannelCount)) return;
    TRequest request{w.DeviceAddress, Cmd::FlowmeterData, kSubFlowmeterData, uint8_t(n)};
    auto& record = w.FlowmeterData[n];
    const bool read = RunExchange(
        w, ReadFlowmeterData, request, 4, {.Needed = kFlowmeterDataAnswerLength},
        [&](const uint8_t* answer, int) {
            std::copy_n(answer + kFlowmeterDataAt, record.size(), record.begin());
        },
        [&] {
            IFlowmeterView& view = *w.Ui.Flowmeter;
            view.SetReportedFlowmeterType(n, record[FlowmeterDataAt::Type]);
            ShowRows(view, n, FlowmeterDataTexts(record, w.LpgDensity[n], w.LpgTemperature[n]));
        });
    // Only an LPGmass meter can be out of reach this way: say so instead of leaving stale gas
    // values, even when no good read has told the tool the meter's type yet. A channel last
    // read as another named type keeps its "---".
    if (!read && ComPort.Error == kLpgNoLinkCode && MayBeLpgMass(record[FlowmeterDataAt::Type]))
        w.Synchronize([&] { ShowRows(*w.Ui.Flowmeter, n, LpgNoLinkTexts()); });
}

void ReadCryptoFlowmeterData(TComThread& w) {
    const int n = w.CurrentChannel;
    if (RefuseOutOfRange(w, ReadCryptoFlowmeterData, n, kChannelCount)) return;
    TRequest request{w.DeviceAddress, Cmd::CryptoFlowmeter, uint8_t(n)};
    auto& record = w.CryptoData[n];
    const bool read = RunExchange(
        w, ReadCryptoFlowmeterData, request, 3, {.Needed = kCryptoAnswerLength},
        [&](const uint8_t* answer, int) { std::copy_n(answer + kCryptoDataAt, record.size(), record.begin()); },
        [&] {
            IFlowmeterView& view = *w.Ui.Flowmeter;
            ShowRows(view, n, CryptoDataTexts(record));
            view.SetCryptoStatus(n, record[CryptoAt::Status]);
        });
    if (read) return;
    const CryptoBlank kind =
        ComPort.Error == kCryptoNotAnsweringCode ? CryptoBlank::NotAnswering : CryptoBlank::NoData;
    w.Synchronize([&] { ShowCryptoBlank(*w.Ui.Flowmeter, n, kind); });
}

void WriteFlowmeterType(TComThread& w) {
    const int n = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteFlowmeterType, n, kChannelCount)) return;
    WriteSelected(w, WriteFlowmeterType, {Cmd::WriteFlowmeterType, uint8_t(n), w.FlowmeterTypeToWrite[n]});
}

void WriteFlowmeterTypeAndAddress(TComThread& w) {
    const int n = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteFlowmeterTypeAndAddress, n, kChannelCount)) return;
    WriteSelected(w, WriteFlowmeterTypeAndAddress,
                  {Cmd::WriteFlowmeterType, uint8_t(n), w.FlowmeterTypeToWrite[n], w.LpgAddressToWrite[n]});
}

void WriteFlowmeterTempOffset(TComThread& w) {
    const int n = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteFlowmeterTempOffset, n, kChannelCount)) return;
    WriteSelected(w, WriteFlowmeterTempOffset,
                  {Cmd::CryptoFlowmeter, kSubCryptoTempOffset, uint8_t(n), uint8_t(w.FlowmeterTempOffsetToWrite[n])},
                  kTempOffsetTimeoutMs);
}
