#include "commands/DoseCommands.h"

#include "commands/ChannelState.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"
#include "link/CommandCodes.h"

namespace {

constexpr int kPriceAt = 4;
constexpr int kReadbackVolumeAt = 8;
constexpr int kReadbackMoneyAt = 12;
constexpr int kPriceAnswer = 8;
constexpr int kReadbackAnswer = 16;

uint8_t ChannelByte(const TComThread& w) { return static_cast<uint8_t>(w.SelectedChannel); }

// Every writer: one exchange, the controller's verdict appended to the command status.
void Send(TComThread& w, Op self, TRequest& request, int length) {
    RunExchange(w, self, request, length, {.Status = &w.CommandStatusText});
}

// One of the commands that carry nothing but the channel.
void SendForChannel(TComThread& w, Op self, uint8_t command) {
    TRequest request{w.DeviceAddress, command, ChannelByte(w)};
    Send(w, self, request, 3);
}

// Only the controller's own channels have a dose readback, and only shown channels a cell.
bool Shown(TComThread& w, int channel) {
    return channel >= 0 && channel < kOwnChannelCount && channel < w.Ui.Main->ChannelColumnCount();
}

}  // namespace

DoseTexts LoadedDoseTexts(uint32_t volumeMl, uint32_t moneyKopecks) {
    return {RealText(volumeMl / 1000.0), RealText(moneyKopecks / 100.0)};
}

void LoadDose(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::LoadDose, ChannelByte(w), w.DoseKind};
    PutU32(&request[4], w.DoseAmount);
    Send(w, LoadDose, request, 8);
}

void StartDose(TComThread& w) { SendForChannel(w, StartDose, Cmd::StartDose); }
void StopDose(TComThread& w) { SendForChannel(w, StopDose, Cmd::StopDose); }
void ContinueDose(TComThread& w) { SendForChannel(w, ContinueDose, Cmd::ContinueDose); }
void ConfirmFillEnd(TComThread& w) { SendForChannel(w, ConfirmFillEnd, Cmd::ConfirmFillEnd); }

void BlockChannel(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::BlockChannel, ChannelByte(w), w.BlockFlag};
    Send(w, BlockChannel, request, 4);
}

void WritePrice(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WritePrice, channel, kChannelCount)) return;
    TRequest request{w.DeviceAddress, Cmd::WritePrice, static_cast<uint8_t>(channel)};
    PutU32(&request[3], w.PriceToWrite[channel]);
    Send(w, WritePrice, request, 7);
}

void ReadPrice(TComThread& w) {
    const int c = w.CurrentChannel;
    TRequest request{w.DeviceAddress, Cmd::ReadPrice, static_cast<uint8_t>(c)};
    bool readback = false;
    RunExchange(w, ReadPrice, request, 3, {.Status = &w.PollStatusText, .Needed = kPriceAnswer},
        [&](const uint8_t* answer, int length) {
            readback = length >= kReadbackAnswer && c >= 0 && c < kOwnChannelCount;
            if (readback) {
                w.DoseVolumeReadback[c] = GetU32(answer + kReadbackVolumeAt);
                w.DoseMoneyReadback[c] = GetU32(answer + kReadbackMoneyAt);
            }
            if (c >= 0 && c < kChannelCount) w.Price[c] = GetU32(answer + kPriceAt);
        },
        [&] {
            if (!Shown(w, c)) return;
            if (readback) {
                const DoseTexts texts = LoadedDoseTexts(w.DoseVolumeReadback[c], w.DoseMoneyReadback[c]);
                w.Ui.Dose->ShowLoadedDose(c, texts.Dose, texts.Sum);
            }
            IMainView& main = *w.Ui.Main;
            main.State().RememberPrice(c, w.Price[c]);
            main.SetChStatus(ChRow::Price, c, PriceText(w.Price[c], w.Ui.Config->KazakhPriceChecked()));
        });
}

void LoadAndStartDose(TComThread& w) {
    // A finished fill not yet confirmed would refuse the load; nothing to confirm is no fault.
    ConfirmFillEnd(w);
    LoadDose(w);
    // Started after a refused load, the channel would pour an earlier dose, and the start's
    // "OK" would hide the refusal that panel 4 shows now.
    if (ComPort.Error != 0) return;
    StartDose(w);
}
