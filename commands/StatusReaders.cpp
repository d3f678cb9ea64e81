#include "commands/StatusReaders.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "link/CommandCodes.h"
#include "commands/ChannelState.h"
#include "commands/FlowmeterState.h"
#include "link/FuelNameCodes.h"
#include "commands/TabloState.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"

namespace {

constexpr uint8_t SubMd5 = 3;
constexpr uint8_t SubChannelState = 1, SubPumpRampUp = 2, SubFlowmeterState = 3;

constexpr int Md5At = 3, Md5Size = 16;
constexpr int BlockAt = 4;  // the data blocks of command 209 start after one unread byte
constexpr int Md5Row = 2;

constexpr uint32_t Md5TimeoutMs = 4000;  // the controller hashes its whole flash first

// Puts a request of the given bytes into the port's buffer; returns its length.
int PutRequest(std::initializer_list<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), ComPort.Buffer);
    return static_cast<int>(bytes.size());
}

std::string HexText(const uint8_t* bytes, int count) {
    std::string text;
    char pair[3];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

// Reads one block of command 209 for w.CurrentChannel. A channel beyond the tables is
// asked all the same (the controller judges it) but nothing of its answer is kept or shown.
void ReadDataBlock(TComThread& w, Op self, uint8_t subCode, int size,
                   const std::function<void(int, const uint8_t*)>& store, const std::function<void(int)>& show) {
    const int c = w.CurrentChannel;
    int length = PutRequest({w.DeviceAddress, Cmd::ReadDataBlock, uint8_t(c), subCode});
    const bool kept = c >= 0 && c < kChannelCount;
    RunExchangeBuffer(w, self, length, {.Status = &w.PollStatusText, .Needed = BlockAt + size},
        [&](const uint8_t* answer, int) {
            if (kept) store(c, answer + BlockAt);
        },
        [&] {
            if (kept) show(c);
        });
}

void ShowChannelState(TComThread& w, int c) {
    IMainView& main = *w.Ui.Main;
    ChannelStateBlock block(w.ChannelState[c]);
    for (const RowImage& image : ChannelStatusImages(block[ChannelStateAt::Status]))
        main.SetChStatusImage(image.Row, c, image.Image);
    for (const RowText& text : ChannelStateTexts(block)) main.SetChStatus(text.Row, c, text.Text);

    TMainWindowState& window = main.State();
    window.LiftedNozzleColour[c] = NozzleColour(block, ChannelStateAt::LiftedColour);
    window.RestingNozzleColour[c] = NozzleColour(block, ChannelStateAt::RestingColour);
    main.DrawNozzleColour(c, 0);
    main.DrawNozzleColour(c, 1);

    window.FuelNames[c] = DecodeFuelName(block.subspan<ChannelStateAt::FuelName, FuelNameLength>());
    main.ShowFuelName(c);

    uint32_t price = GetU32(&block[ChannelStateAt::Price]);
    window.RememberPrice(c, price);
    main.SetChStatus(ChRow::Price, c, PriceText(price, w.Ui.Config->KazakhPriceChecked()));
    main.SetChStatus(ChRow::VrxAddress, c, std::to_string(block[ChannelStateAt::VrxAddress]));
    if (w.Ui.Dose) w.Ui.Dose->TrackChannelState(c, w.ChannelState[c]);
}

}  // namespace

void ReadFirmwareMd5(TComThread& w) {
    int length = PutRequest({w.DeviceAddress, Cmd::DeviceInfo, SubMd5});
    std::string md5;
    RunExchangeBuffer(w, ReadFirmwareMd5, length,
        {.Status = &w.PollStatusText, .TimeoutMs = Md5TimeoutMs, .Needed = Md5At + Md5Size,
         .MarkSending = false},
        [&](const uint8_t* answer, int) {
            w.Md5Read = 1;
            md5 = HexText(answer + Md5At, Md5Size);
            w.FirmwareMd5 = md5;
        },
        [&] { w.Ui.Main->SetTrkStatus(Md5Row, 0, md5); });
}

void ReadChannelState(TComThread& w) {
    ReadDataBlock(w, ReadChannelState, SubChannelState, kChannelStateSize,
        [&](int c, const uint8_t* block) { std::copy_n(block, kChannelStateSize, w.ChannelState[c].begin()); },
        [&](int c) { ShowChannelState(w, c); });
}

void ReadPumpRampUpTime(TComThread& w) {
    ReadDataBlock(w, ReadPumpRampUpTime, SubPumpRampUp, 2,
        [&](int c, const uint8_t* block) { w.PumpRampUpTime[c] = GetU16(block); },
        [&](int c) { w.Ui.Main->SetChStatus(ChRow::PumpRampUpTime, c, UnsignedText(w.PumpRampUpTime[c])); });
}

void ReadFlowmeterState(TComThread& w) {
    ReadDataBlock(w, ReadFlowmeterState, SubFlowmeterState, kFlowmeterStateSize,
        [&](int n, const uint8_t* block) { std::copy_n(block, kFlowmeterStateSize, w.FlowmeterState[n].begin()); },
        [&](int n) {
            IFlowmeterView& view = *w.Ui.Flowmeter;
            FlowmeterStateBlock block(w.FlowmeterState[n]);
            for (const RowText& text : FlowmeterStateTexts(block)) view.SetFlowmeterCell(text.Row, n, text.Text);
            view.SetReportedFlowmeterType(n, block[FlowmeterStateAt::Type]);
        });
}

void ReadTabloState(TComThread& w) {
    const int n = w.CurrentChannel;
    int length = PutRequest({w.DeviceAddress, Cmd::ReadTabloTest, TabloStateSubCode(n), uint8_t(n)});
    std::vector<RowText> texts;
    ColourCorrection correction{};
    RunExchangeBuffer(w, ReadTabloState, length,
        {.Status = &w.PollStatusText, .Needed = TabloStateNeeded(n)},
        [&](const uint8_t* answer, int length) {
            std::span<const uint8_t> content(answer, static_cast<size_t>(length));
            if (n >= 0 && n < kDisplayDeviceCount) {
                w.TabloType[n] = content[TabloStateAt::Type];
                w.TabloTempOffsetRead[n] = int8_t(content[TabloStateAt::TemperatureOffset]);
            }
            texts = TabloStateTexts(n, content);
            if (IsDisplayBoard(n)) {
                std::copy_n(answer + TabloStateAt::ColourCorrection, correction.size(), correction.begin());
                w.TabloColourCorrectionRead[size_t(n)] = correction;
            }
        },
        [&] {
            ITabloView& view = *w.Ui.Tablo;
            if (IsDisplayBoard(n)) view.SetColourCorrection(n, correction);
            for (const RowText& text : texts) view.SetTabloCell(text.Row, n, text.Text);
        });
}
