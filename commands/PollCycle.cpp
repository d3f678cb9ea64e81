#include "commands/PollCycle.h"

#include <chrono>
#include <iterator>
#include <thread>

#include "commands/ConfigRecords.h"
#include "commands/CounterReaders.h"
#include "commands/FlowmeterCommands.h"
#include "commands/ParameterCommands.h"
#include "commands/PeripheralCommands.h"
#include "commands/StatusReaders.h"
#include "commands/TimeCommands.h"
#include "engine/ComThreadUnit.h"
#include "commands/LinkSetup.h"
#include "link/ComPortUnit.h"
#include "link/LinkStatistics.h"

namespace {

// A silent controller is asked again after this pause, not flooded.
constexpr auto kIdentityRetryPause = std::chrono::milliseconds(200);
constexpr auto kSilenceBeforeLinkHint = std::chrono::seconds(3);
constexpr char kCheckLinkSettingsText[] =
    "Контроллер не отвечает: проверьте сетевой адрес и скорость обмена (панели внизу слева)";

// Sub-controller page: board count, and each board's state (0 = on line).
constexpr int kBoardCountAt = 1;
constexpr int kBoardStateAt[2] = {5, 7};
constexpr int kFlowmeterCountByBoards[3] = {5, 10, 15};

constexpr int kDisplayBoardMask = 3;      // boards 0..3
constexpr int kFirstKeyboard = 4;         // keyboards 4 and 5 take turns
constexpr int kReductionRowOfBoard[2] = {2, 3};
constexpr int kValveColumns = 5;
constexpr uint8_t kCryptoFlowmeter = 3;

// One peripheral per pass, by n & 3; the fourth pass of a round reads none.
constexpr Op kPeripheralReaders[4] = {ReadSoundGenStatus, ReadValveControllerInfo, ReadValveControllerStatus,
                                      nullptr};

// Settings read once per run: each is asked again at once until it has been read.
struct StartupSetting {
    Op Reader;
    uint8_t TDeviceState::*Read;
};
constexpr StartupSetting kSettingsAfterSubTrkCfg[] = {
    {ReadTrkCfg, &TDeviceState::TrkCfgRead},
    {ReadFlowmeterTimeout, &TDeviceState::FlowmeterTimeoutRead},
    {ReadTabloCutOff, &TDeviceState::TabloCutOffRead},
    {ReadNightBright, &TDeviceState::NightBrightRead},
    {ReadTabloTestStepTime, &TDeviceState::TabloTestStepRead},
};

bool BoardOffLine(const TDeviceState& s, int board) { return s.SubTrkCfg[kBoardStateAt[board]] != 0; }

// False when the worker was asked to stop before the setting was read.
bool ReadUntilKnown(TComThread& w, const StartupSetting& setting) {
    while (!(w.*setting.Read)) {
        setting.Reader(w);
        if (w.ShouldStop()) return false;
    }
    return true;
}

bool IdentifyController(TComThread& w) {
    const auto start = std::chrono::steady_clock::now();
    ReadDeviceInfo(w);
    bool hinted = false;
    while (!w.DeviceInfoRead) {
        if (w.ShouldStop()) return false;
        // Silence this long is nearly always a wrong address or bit rate, not a dead controller.
        if (!hinted && std::chrono::steady_clock::now() - start >= kSilenceBeforeLinkHint) {
            w.CommandStatusText = kCheckLinkSettingsText;
            hinted = true;
        }
        std::this_thread::sleep_for(kIdentityRetryPause);
        ReadDeviceInfo(w);
    }
    // The answer came: the advice goes with the next status shown.
    if (hinted && w.CommandStatusText == kCheckLinkSettingsText) w.CommandStatusText = "OK";
    return true;
}

bool ReadReductionConstants(TComThread& w) {
    for (int i = 0; i < kChannelCount; ++i) {
        // Asking an off-line board would only cost a time-out per channel.
        if (i >= kOwnChannelCount && BoardOffLine(w, 0)) {
            w.Synchronize([&w] {
                DashSubController1Row(*w.Ui.Main);
                DashSubController2Row(*w.Ui.Main);
            });
            return true;
        }
        if (i >= 2 * kOwnChannelCount && BoardOffLine(w, 1)) {
            w.Synchronize([&w] { DashSubController2Row(*w.Ui.Main); });
            return true;
        }
        w.CurrentChannel = i;
        ReadReductionConst(w);
        if (w.ShouldStop()) return false;
    }
    return true;
}

void ReadFlowmeterSettings(TComThread& w) {
    for (int i = 0; i < kOwnChannelCount; ++i) {
        // A type write waiting must not be overtaken by the old type read back.
        if (w.Waiting(WriteFlowmeterType)) continue;
        w.CurrentChannel = i;
        ReadFlowmeterData(w);
        if (w.ShouldStop()) return;
    }
}

void DashValveRow(IMainView& view, int row) {
    for (int column = 0; column < kValveColumns; ++column) view.SetValveStatus(row, column, "---");
}

}  // namespace

int FlowmeterCount(const TDeviceState& s) {
    const uint8_t boards = s.SubTrkCfg[kBoardCountAt];
    return boards < std::size(kFlowmeterCountByBoards) ? kFlowmeterCountByBoards[boards] : kOwnChannelCount;
}

void DashSubController1Row(IMainView& view) { DashValveRow(view, kReductionRowOfBoard[0]); }
void DashSubController2Row(IMainView& view) { DashValveRow(view, kReductionRowOfBoard[1]); }

void SyncDeviceState(TComThread& w) {
    if (!IdentifyController(w)) return;
    if (!ReadUntilKnown(w, {ReadFirmwareMd5, &TDeviceState::Md5Read})) return;
    ReadSubTrkCfg(w);
    for (const StartupSetting& setting : kSettingsAfterSubTrkCfg)
        if (!ReadUntilKnown(w, setting)) return;
    if (!ReadReductionConstants(w)) return;
    ReadFlowmeterSettings(w);
}

void PollPass(TComThread& w, uint32_t n) {
    ReadTime(w);

    // A controller reporting no channels has none to read (and no modulus to take).
    if (const int channels = w.LogicalChannelCount(); channels > 0) {
        w.CurrentChannel = int(n % uint32_t(channels));
        ReadChannelState(w);
        ReadPumpRampUpTime(w);
    }

    w.CurrentChannel = int(n % uint32_t(FlowmeterCount(w)));
    ReadFlowmeterState(w);

    w.CurrentChannel = int(n & kDisplayBoardMask);
    ReadTabloState(w);
    w.CurrentChannel = int(n & 1) | kFirstKeyboard;
    ReadTabloState(w);

    w.CurrentChannel = int(n % kOwnChannelCount);
    ReadLastFill(w);
    if (w.TrkCfg[0] > w.CurrentChannel) ReadTempsAndVoltages(w);
    if (w.FlowmeterData[w.CurrentChannel][FlowmeterDataAt::Type] == kCryptoFlowmeter)
        ReadCryptoFlowmeterData(w);
    else
        ShowCryptoNotPolled(w);

    if (Op peripheral = kPeripheralReaders[n & 3]) peripheral(w);
}

void PollCycle(TComThread& w) {
    // The link figures of this poll go into the exchange log as one entry when it stops.
    ComPort.Statistics.Reset();
    struct SummaryAtStop {
        ~SummaryAtStop() { LogLinkSummary(ComPort.Statistics); }
    } summaryAtStop;
    w.CurrentChannel = 0;
    // The configuration may have changed since an earlier run of this worker.
    w.TrkCfgRead = 0;
    for (uint32_t n = 0;; ++n) {
        SyncDeviceState(w);
        if (w.ShouldStop()) return;
        PollPass(w, n);
        if (w.ShouldStop()) return;
        // Everything handed over by now, in order; what comes meanwhile waits for the next pass.
        w.RunHandedOver();
    }
}
