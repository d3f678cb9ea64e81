#include "commands/ConfigRecords.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "commands/ConfigMapping.h"
#include "engine/OperationPattern.h"
#include "link/ComPortUnit.h"

namespace {

constexpr uint8_t PageTrkCfg = 4, PageSubTrkCfg = 0;

// Answer layouts: TrkCfg after one unread byte, SubTrkCfg straight after the result code.
constexpr int TrkCfgAt = 4, TrkCfgAnswerLength = TrkCfgAt + kTrkCfgSize;
constexpr int SubTrkCfgAt = 3, SubTrkCfgAnswerLength = SubTrkCfgAt + kSubTrkCfgSize;
constexpr int WriteAt = 3;

// Only an answer of exactly the page's length is a page; a longer one is reported like a
// shorter one, and nothing of it is kept.
bool ExactLength(int length, int required) {
    if (length == required) return true;
    ComPort.ReportWrongLength(required);
    return false;
}

// Reads page 4 into TrkCfg and sets TrkCfgRead; `display` runs only for an accepted page.
bool ReadTrkCfgPage(TComThread& w, Op self, std::string& status, const Display& display = {}) {
    TRequest request{w.DeviceAddress, Cmd::ReadCfg, PageTrkCfg};
    bool accepted = false;
    RunExchange(w, self, request, 3, {.Status = &status, .Needed = TrkCfgAnswerLength},
        [&](const uint8_t* answer, int length) {
            if (!(accepted = ExactLength(length, TrkCfgAnswerLength))) return;
            std::copy_n(answer + TrkCfgAt, kTrkCfgSize, w.TrkCfg.begin());
            w.TrkCfgRead = 1;
        },
        [&] {
            if (accepted && display) display();
        });
    return accepted;
}

}  // namespace

void ReadTrkCfg(TComThread& w) {
    ReadTrkCfgPage(w, ReadTrkCfg, w.PollStatusText, [&] {
        w.Ui.Config->ShowTrkCfg(TrkCfgToControls(w.TrkCfg));
        if (w.SubTrkCfg[2] == 0) w.Ui.Main->SetChannelCount(CappedChannelCount(w.TrkCfg[0]));
        w.Ui.Config->SetTrkCfgWriteButtonEnabled(true);
    });
}

void WriteTrkCfg(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteCfg, PageTrkCfg};
    std::copy(w.TrkCfg.begin(), w.TrkCfg.end(), request.begin() + WriteAt);
    RunExchange(w, WriteTrkCfg, request, WriteAt + kTrkCfgSize, {.Status = &w.CommandStatusText});
    // Even a failed write may have changed the page: show what the controller really holds.
    w.TrkCfgRead = 0;
}

void WriteTrkCfgFromWindow(TComThread& w) {
    // The window shows only part of the page: the rest goes back as the controller holds it,
    // so a worker that has not read the page yet reads it first, without showing it (that
    // would replace what the engineer has just set).
    if (!w.TrkCfgRead && !ReadTrkCfgPage(w, WriteTrkCfgFromWindow, w.CommandStatusText)) {
        w.CommandStatusText += " Запись отменена: конфигурация не прочитана";
        w.ShowStatus();
        return;
    }
    ControlsToTrkCfg(w.TrkCfgControlsToWrite, w.TrkCfg);
    WriteTrkCfg(w);
    // The main window shows the new channel count only once the controller took it.
    if (const int index = w.TrkCfgControlsToWrite.ChannelCountIndex; ComPort.Error == 0 && index >= 0)
        w.Synchronize([&w, index] { w.Ui.Main->SetChannelCount(index + 1); });
}

void ReadSubTrkCfg(TComThread& w) {
    ComPort.Buffer[0] = w.DeviceAddress;
    ComPort.Buffer[1] = Cmd::ReadCfg;
    ComPort.Buffer[2] = PageSubTrkCfg;
    bool accepted = false;
    RunExchangeBuffer(w, ReadSubTrkCfg, 3, {.Status = &w.PollStatusText, .Needed = SubTrkCfgAnswerLength},
        [&](const uint8_t* answer, int length) {
            if (!(accepted = ExactLength(length, SubTrkCfgAnswerLength))) return;
            std::copy_n(answer + SubTrkCfgAt, kSubTrkCfgSize, w.SubTrkCfg.begin());
        },
        [&] {
            if (!accepted) return;
            w.Ui.Config->ShowSubTrkCfg(SubTrkCfgToTexts(w.SubTrkCfg));
            if (w.SubTrkCfg[2] != 0) w.Ui.Main->SetChannelCount(CappedChannelCount(w.SubTrkCfg[2]));
            w.Ui.Main->SetSubTrkCount(w.SubTrkCfg[1]);
        });
}

void WriteSubTrkCfg(TComThread& w) {
    const uint8_t request[] = {w.DeviceAddress, Cmd::WriteCfg, PageSubTrkCfg, w.SubTrk1AddressToWrite,
                               w.SubTrk2AddressToWrite, w.SubTrkBitRateDivisorToWrite};
    std::copy(std::begin(request), std::end(request), ComPort.Buffer);
    RunExchangeBuffer(w, WriteSubTrkCfg, sizeof request, {.Status = &w.PollStatusText});
}
