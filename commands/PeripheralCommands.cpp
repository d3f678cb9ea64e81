#include "commands/PeripheralCommands.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "engine/OperationPattern.h"

namespace {

constexpr uint8_t kSubSoundGenStatus = 0;
constexpr uint8_t kSubSoundGenAddress = 1;
constexpr uint8_t kSubSoundGenVolume = 3;
constexpr uint8_t kSubValveParams = 5;
constexpr uint8_t kSubValveStatus = 6;

// Identity request of the valve controller, relayed by the controller.
constexpr uint8_t kValveInfoParams[] = {5, 3, 0};
constexpr int kValveInfoAt = 6;

// Every operation here reports in the poll status line, writers included.
void Write(TComThread& w, Op self, std::initializer_list<uint8_t> params) {
    TRequest request{w.DeviceAddress, Cmd::Peripheral};
    int length = 2;
    for (uint8_t b : params) request[length++] = b;
    RunExchange(w, self, request, length, {});
}

}  // namespace

void ReadSoundGenStatus(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::Peripheral, kSubSoundGenStatus};
    uint8_t address = 0;
    RunExchange(
        w, ReadSoundGenStatus, request, 3, {.Needed = kSoundGenAnswerLength},
        [&](const uint8_t* answer, int) {
            w.SoundGen = DecodeSoundGenStatus(answer);
            address = answer[kSoundGenAddressByte];
            w.SoundGenAddress = address;
        },
        [&] {
            for (const RowText& r : SoundGenTexts(w.SoundGen, address)) w.Ui.Main->SetTrkStatus(r.Row, 0, r.Text);
        });
}

void WriteSoundGenAddress(TComThread& w) {
    Write(w, WriteSoundGenAddress, {kSubSoundGenAddress, w.SoundGenAddressToWrite});
}

void WriteSoundGenVolume(TComThread& w) {
    Write(w, WriteSoundGenVolume, {kSubSoundGenVolume, w.SoundGenVolumeToWrite});
}

void ReadValveControllerStatus(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::Peripheral, kSubValveStatus};
    ValveStatusTexts texts;
    RunExchange(
        w, ReadValveControllerStatus, request, 3, {.Needed = kValveStatusAnswerLength},
        [&](const uint8_t* answer, int) {
            texts = ValveControllerStatusTexts(answer);
            std::copy_n(answer + kValveSettingsAt, w.ValveControllerSettings.size(), w.ValveControllerSettings.begin());
            w.ValveControllerReached = !ValveControllerSilent(answer);
        },
        [&] {
            IMainView& main = *w.Ui.Main;
            for (const RowText& r : texts.Rows) main.SetTrkStatus(r.Row, 0, r.Text);
            for (int i = 0; i < kValveCount; ++i) main.SetValveStatus(PeripheralRow::ValveCurrent, i, texts.Currents[i]);
        });
}

void ReadValveControllerInfo(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ValveControllerInfo};
    std::copy(std::begin(kValveInfoParams), std::end(kValveInfoParams), request.begin() + 2);
    RunExchange(
        w, ReadValveControllerInfo, request, 5, {.Needed = kValveInfoAnswerLength},
        [&](const uint8_t* answer, int) {
            std::copy_n(answer + kValveInfoAt, w.ValveControllerInfo.size(), w.ValveControllerInfo.begin());
        },
        [&] {
            for (const RowText& r : ValveControllerInfoTexts(w.ValveControllerInfo))
                w.Ui.Main->SetTrkStatus(r.Row, 0, r.Text);
        });
}

void WriteValveControllerParams(TComThread& w) {
    Write(w, WriteValveControllerParams,
          {kSubValveParams, w.ValveAddressToWrite, w.ValveBitRateDivisorToWrite, w.ValveOpeningToWrite});
}
