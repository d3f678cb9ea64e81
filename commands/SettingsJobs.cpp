#include "commands/SettingsJobs.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>

#include "commands/ConfigChecks.h"
#include "commands/ConfigMapping.h"
#include "commands/ConfigRecords.h"
#include "commands/DoseCommands.h"
#include "commands/FlowmeterCommands.h"
#include "commands/LinkSetup.h"
#include "commands/ParameterCommands.h"
#include "commands/ParameterLayout.h"
#include "commands/PeripheralCommands.h"
#include "commands/SettingsTable.h"
#include "commands/StatusReaders.h"
#include "commands/TimeCommands.h"
#include "engine/ComThreadUnit.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"

namespace {

constexpr int kVrxRate = 4800;  // the VRX 2.0 link has no clock commands

// The stage step and the operation run on the worker's thread one right after the other:
// the job goes from one to the other here.
thread_local std::shared_ptr<SettingsJob> tStagedJob;

std::shared_ptr<SettingsJob> TakeStagedJob() {
    std::shared_ptr<SettingsJob> job = std::move(tStagedJob);
    tStagedJob.reset();
    return job;
}

std::string LocalNowText() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[24];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}

void ShowProgress(TComThread& w, SettingsJob& job, int done, int total) {
    if (job.Progress) w.Synchronize([&] { job.Progress(done, total); });
}

// One reader for one channel or device; the port's error after it (0 when it sent nothing).
int RunReader(TComThread& w, Op reader, int index = 0) {
    w.CurrentChannel = index;
    ComPort.Error = 0;
    reader(w);
    return ComPort.Error;
}

// Readings of a whole read: seven of the controller's own, the MD5 and the clock, three per
// channel, two per flowmeter, one per display device.
constexpr int kHeadReads = 9, kPeripheralReads = 2;
int ReadsFor(int channels) {
    return kHeadReads + 3 * channels + 2 * std::min(channels, kOwnChannelCount) + kDisplayDeviceCount + kPeripheralReads;
}

// Reads everything into the worker's record and makes the snapshot of it. A reading the
// controller itself must give fails the job; a device that does not answer (a display board
// not fitted, a crypto flowmeter out of reach) only leaves its settings out.
bool ReadAll(TComThread& w, SettingsJob& job, int doneBefore, bool stoppable, int doneAfter = 0) {
    struct Step {
        Op Reader;
        const char* What;
    };
    const Step head[] = {
        {ReadDeviceInfo, "идентификацию"},   {ReadTrkCfg, "конфигурацию ТРК"},
        {ReadSubTrkCfg, "подчинённые контроллеры"}, {ReadFlowmeterTimeout, "параметры расходомеров"},
        {ReadTabloCutOff, "отсечку табло"},  {ReadNightBright, "ночную яркость"},
        {ReadTabloTestStepTime, "шаг теста табло"},
    };
    // Peripherals that do not answer are left out, not failed: they may not be fitted.
    const Step peripherals[] = {
        {ReadSoundGenStatus, "звукогенератор"},
        {ReadValveControllerStatus, "контроллер пропорциональных клапанов"},
    };
    // A read handed to a running poll is stopped on its own, the poll going on; the read-back
    // of a stopped restore still checks what was written.
    auto stopped = [&] { return (stoppable && job.StopRequested.load()) || w.ShouldStop(); };
    auto failed = [&](const std::string& what) {
        job.Error = stopped() ? "Остановлено" : "Не удалось прочитать " + what + ": " + ComPort.ResultText;
        return false;
    };
    static_assert(std::size(head) + 2 == kHeadReads);
    // The channel count is known once the configuration is read.
    int done = doneBefore,
        total = doneBefore + ReadsFor(job.Controller.ChannelCount ? job.Controller.ChannelCount : kOwnChannelCount) + doneAfter;
    auto step = [&] { ShowProgress(w, job, ++done, std::max(done, total)); };

    bool fullParams = false;
    for (const Step& s : head) {
        if (stopped()) return failed(s.What);
        if (RunReader(w, s.Reader) != 0) return failed(s.What);
        if (s.Reader == ReadFlowmeterTimeout) fullParams = ComPort.AnswerLength >= 22;
        step();
    }
    // Older firmware has no checksum command: the refusal leaves the MD5 out.
    w.FirmwareMd5.clear();
    if (RunReader(w, ReadFirmwareMd5) < 0) return failed("MD5 прошивки");
    step();
    const bool clock = w.BitRate != kVrxRate;
    if (clock)
        if (RunReader(w, ReadTime) != 0) return failed("время");
    step();

    const int channels = w.LogicalChannelCount();
    total = doneBefore + ReadsFor(channels) + doneAfter;
    std::vector<bool> reductionRead(size_t(channels), false);
    for (int c = 0; c < channels; ++c) {
        if (stopped()) return failed("каналы");
        if (RunReader(w, ReadChannelState, c) != 0) return failed("канал " + std::to_string(c + 1));
        step();
        if (RunReader(w, ReadPumpRampUpTime, c) != 0) return failed("время разгона насоса канала " + std::to_string(c + 1));
        step();
        if (ChannelBoardPresent(w.SubTrkCfg, c)) {
            if (RunReader(w, ReadReductionConst, c) != 0)
                return failed("снижение напора канала " + std::to_string(c + 1));
            reductionRead[size_t(c)] = true;
        }
        step();
    }
    const int meters = std::min(channels, kOwnChannelCount);
    std::vector<bool> cryptoRead(size_t(meters), false);
    for (int f = 0; f < meters; ++f) {
        if (stopped()) return failed("расходомеры");
        if (RunReader(w, ReadFlowmeterData, f) != 0) return failed("расходомер " + std::to_string(f + 1));
        step();
        if (w.FlowmeterData[size_t(f)][0] == kCryptoFlowmeterType) {
            const int error = RunReader(w, ReadCryptoFlowmeterData, f);
            if (error < 0) return failed("крипто-расходомер " + std::to_string(f + 1));
            cryptoRead[size_t(f)] = error == 0;
        }
        step();
    }
    std::vector<bool> displayRead(kDisplayDeviceCount, false);
    for (int d = 0; d < kDisplayDeviceCount; ++d) {
        const int error = RunReader(w, ReadTabloState, d);
        if (error < 0) return failed("табло " + std::to_string(d + 1));
        displayRead[size_t(d)] = error == 0;
        step();
    }

    constexpr uint8_t kSoundGenNoLink = 255;
    w.SoundGen.State = kSoundGenNoLink;
    w.ValveControllerReached = false;
    for (const Step& p : peripherals) {
        if (RunReader(w, p.Reader) < 0) return failed(p.What);
        step();
    }

    SettingsSnapshot s = SnapshotFromState(w);
    s.ReadAt = LocalNowText();
    if (!clock) s.TimeZone.reset();
    s.FlowmeterParamsFull = s.FlowmeterParams && fullParams;
    for (int c = 0; c < channels; ++c)
        if (!reductionRead[size_t(c)]) s.Channels[size_t(c)].ReductionConst.reset();
    for (int f = 0; f < meters; ++f)
        if (!cryptoRead[size_t(f)]) s.Flowmeters[size_t(f)].TempOffset.reset();
    for (int d = 0; d < kDisplayDeviceCount; ++d)
        if (!displayRead[size_t(d)]) s.Displays[size_t(d)] = {};
    job.Read = std::move(s);
    return true;
}

void Finish(TComThread& w, SettingsJob& job) {
    if (job.Finished) w.Synchronize([&] { job.Finished(); });
}

// --- Restore.

struct WriteKey {
    SettingWrite Write;
    int Index;
    auto operator<=>(const WriteKey&) const = default;
};

// Puts the values of one write into the worker's staging fields and returns its operation.
Op StageWrite(TComThread& w, const SettingsSnapshot& v, WriteKey k) {
    const size_t i = size_t(k.Index);
    w.SelectedChannel = k.Index;
    switch (k.Write) {
        case SettingWrite::TrkCfg:
            w.TrkCfg = v.TrkCfg;
            // The bits the window always sends as 0 go as 0 here too.
            ControlsToTrkCfg(TrkCfgToControls(w.TrkCfg), w.TrkCfg);
            return WriteTrkCfg;
        case SettingWrite::SubTrkCfg:
            w.SubTrk1AddressToWrite = v.SubTrkCfg[4];
            w.SubTrk2AddressToWrite = v.SubTrkCfg[6];
            w.SubTrkBitRateDivisorToWrite = v.SubTrkCfg[3];
            return WriteSubTrkCfg;
        case SettingWrite::Protocol:
            w.ProtocolType = v.ProtocolType;
            return WriteProtocolType;
        case SettingWrite::TimeZone:
            w.TimeZone = v.TimeZone.value_or(0);
            w.SummerTimeMode = v.SummerTimeMode;
            return WriteTimeZone;
        case SettingWrite::FlowmeterParams:
            w.FlowmeterTimeout = v.FlowmeterTimeout;
            if (!v.FlowmeterParams) return WriteFlowmeterTimeout;
            w.FlowmeterParams = *v.FlowmeterParams;
            return WriteFlowmeterParams;
        case SettingWrite::TabloCutOff:
            w.TabloCutOff = v.TabloCutOff;
            return WriteTabloCutOff;
        case SettingWrite::NightBright:
            w.NightBright = v.NightBright;
            return WriteNightBright;
        case SettingWrite::TabloTestStep:
            w.TabloTestStep = v.TabloTestStep;
            return WriteTabloTestStepTime;
        case SettingWrite::Price:
            w.PriceToWrite[i] = v.Channels[i].Price;
            return WritePrice;
        case SettingWrite::PumpRampUp:
            w.PumpRampUpTimeToWrite[i] = v.Channels[i].PumpRampUpTime;
            return WritePumpRampUpTime;
        case SettingWrite::FuelName:
            w.FuelNameToWrite[i] = v.Channels[i].FuelName;
            return WriteFuelName;
        case SettingWrite::NozzleColours:
            w.LiftedNozzleColourToWrite[i] = v.Channels[i].LiftedColour;
            w.RestingNozzleColourToWrite[i] = v.Channels[i].RestingColour;
            return WriteNozzleColours;
        case SettingWrite::VrxAddress:
            w.VrxAddress[i] = v.Channels[i].VrxAddress;
            return WriteVrxAddress;
        case SettingWrite::ReductionConst:
            w.ReductionConstToWrite[i] = v.Channels[i].ReductionConst.value_or(0);
            return WriteReductionConst;
        case SettingWrite::FlowmeterType:
            w.FlowmeterTypeToWrite[i] = v.Flowmeters[i].Type;
            w.LpgAddressToWrite[i] = v.Flowmeters[i].LpgAddress;
            return v.Flowmeters[i].Type == kLpgMassFlowmeterType ? WriteFlowmeterTypeAndAddress : WriteFlowmeterType;
        case SettingWrite::FlowmeterTempOffset:
            w.FlowmeterTempOffsetToWrite[i] = v.Flowmeters[i].TempOffset.value_or(0);
            return WriteFlowmeterTempOffset;
        case SettingWrite::ColourCorrection:
            w.TabloColourCorrection[i] = v.Displays[i].ColourCorrection.value_or(std::array<uint8_t, kTabloColourCorrectionSize>{});
            return WriteTabloColourCorrection;
        case SettingWrite::TabloTempOffset:
            w.TabloTempOffsetToWrite[i] = v.Displays[i].TempOffset.value_or(0);
            return WriteTabloTempOffset;
        case SettingWrite::SoundGenVolume:
            w.SoundGenVolumeToWrite = v.SoundGen ? v.SoundGen->Volume.value_or(0) : 0;
            return WriteSoundGenVolume;
        case SettingWrite::SoundGenAddress:
            w.SoundGenAddressToWrite = v.SoundGen ? v.SoundGen->Address : 0;
            return WriteSoundGenAddress;
        case SettingWrite::ValveController: {
            const ValveControllerSettings c = v.ValveController.value_or(ValveControllerSettings{});
            w.ValveAddressToWrite = c.Address;
            w.ValveBitRateDivisorToWrite = c.Divisor;
            w.ValveOpeningToWrite = c.Opening;
            return WriteValveControllerParams;
        }
    }
    return nullptr;
}

// The controller's settings with the chosen ones of the file laid over them, and one result
// row per chosen setting (a value the file gives that cannot be set is an error already).
struct RestorePlan {
    SettingsSnapshot Target;
    std::vector<RestoreRow> Rows;
    std::map<WriteKey, std::vector<size_t>> Writes;  // rows each write carries, in write order
    std::vector<bool> Unfit;  // per row: the controller has no such setting (a forced file of another shape)
};

RestorePlan PlanRestore(const SettingsSnapshot& controller, const SettingsSnapshot& file,
                        const std::vector<std::string>& keys) {
    RestorePlan plan;
    plan.Target = controller;
    plan.Target.FileKeys.reset();
    std::map<std::string, SettingRow> fileRows;
    for (const SettingRow& row : Rows(file)) fileRows[row.Key] = row;
    for (const std::string& key : keys) {
        RestoreRow r;
        r.Key = key;
        auto it = fileRows.find(key);
        if (it == fileRows.end()) {
            r.Error = "В файле нет этой настройки";
            plan.Rows.push_back(r);
            plan.Unfit.push_back(false);
            continue;
        }
        r.Group = it->second.Group;
        r.Caption = it->second.Caption;
        r.FileText = it->second.Text;
        const SettingEntry* entry = FindSetting(key, controller.ChannelCount);
        // A peripheral the controller cannot reach gets nothing: a write would go nowhere.
        const bool unreached = entry && ((!controller.SoundGen && (entry->Write == SettingWrite::SoundGenAddress ||
                                                                   entry->Write == SettingWrite::SoundGenVolume)) ||
                                         (!controller.ValveController && entry->Write == SettingWrite::ValveController));
        r.Error = !entry      ? "У контроллера нет этой настройки"
                  : unreached ? "Контроллер не видит это устройство"
                              : SetSettingText(plan.Target, key, r.FileText);
        plan.Rows.push_back(r);
        plan.Unfit.push_back(!entry || unreached);
        if (r.Error.empty()) plan.Writes[{entry->Write, entry->Index}].push_back(plan.Rows.size() - 1);
    }
    return plan;
}

}  // namespace

std::function<void(TComThread&)> StageSettingsJob(std::shared_ptr<SettingsJob> job) {
    return [job](TComThread&) { tStagedJob = job; };
}

void ReadSettings(TComThread& w) {
    std::shared_ptr<SettingsJob> job = TakeStagedJob();
    if (!job) return;
    job->Complete = ReadAll(w, *job, 0, true);
    Finish(w, *job);
}

void RestoreSettings(TComThread& w) {
    std::shared_ptr<SettingsJob> job = TakeStagedJob();
    if (!job) return;
    // Progress counts the reads before, the writes and the reads that check them.
    int readBefore = 0;
    if (job->ReadBeforeWriting) {
        const int planned = int(PlanRestore(job->Controller, job->File, job->Keys).Writes.size());
        readBefore = ReadsFor(job->Controller.ChannelCount);
        if (!ReadAll(w, *job, 0, true, planned + readBefore)) return Finish(w, *job);
        job->Controller = job->Read;
        if (std::string refusal = RestoreRefusal(job->Controller, job->File, job->Keys, false); !refusal.empty()) {
            job->Error = "Не записано: " + refusal;
            return Finish(w, *job);
        }
    }
    RestorePlan plan = PlanRestore(job->Controller, job->File, job->Keys);
    job->Results = plan.Rows;
    const int writes = int(plan.Writes.size());
    const int total = readBefore + writes + ReadsFor(job->Controller.ChannelCount);
    int done = readBefore;
    bool stopped = false;
    for (const auto& [key, rows] : plan.Writes) {
        if (job->StopRequested.load() || w.ShouldStop()) {
            stopped = true;
            for (size_t r : rows) job->Results[r].Error = "остановлено до записи";
            continue;
        }
        if (key.Write == SettingWrite::TimeZone && w.BitRate == kVrxRate) {
            for (size_t r : rows) job->Results[r].Error = "по VRX 2.0 (4800 бит/с) часов нет";
            ShowProgress(w, *job, ++done, total);
            continue;
        }
        const Op op = StageWrite(w, plan.Target, key);
        ComPort.Error = 0;
        op(w);
        const bool taken = ComPort.Error == 0;
        for (size_t r : rows) {
            job->Results[r].Written = taken;
            if (!taken) job->Results[r].Error = ComPort.ResultText;
        }
        ShowProgress(w, *job, ++done, total);
    }
    // Every value is read back, whatever was written: the controller may take a write and keep
    // another value.
    const bool read = ReadAll(w, *job, readBefore + writes, false);
    if (read) {
        std::map<std::string, std::string> now;
        for (const SettingRow& row : Rows(job->Read)) now[row.Key] = row.Text;
        for (RestoreRow& r : job->Results) {
            if (!r.Written) continue;
            auto it = now.find(r.Key);
            r.Verified = it != now.end() && it->second == r.FileText;
            if (!r.Verified)
                r.Error = "Прочитано «" + (it == now.end() ? std::string() : it->second) + "» вместо «" + r.FileText + "»";
        }
    } else {
        for (RestoreRow& r : job->Results)
            if (r.Written) r.Error = "Не проверено: " + job->Error;
    }
    job->Complete = read && !stopped &&
                    std::all_of(job->Results.begin(), job->Results.end(), [](const RestoreRow& r) { return r.Verified; });
    if (stopped && job->Error.empty()) job->Error = "Остановлено";
    Finish(w, *job);
}

std::string RestoreRefusal(const SettingsSnapshot& controller, const SettingsSnapshot& file,
                           const std::vector<std::string>& keys, bool force) {
    if (!force && controller.Identity.DeviceType != file.Identity.DeviceType)
        return "Файл снят с другого устройства (" + file.Identity.DeviceTypeText + ", код " +
               std::to_string(file.Identity.DeviceType) + "), а подключено " + controller.Identity.DeviceTypeText +
               " (код " + std::to_string(controller.Identity.DeviceType) + ")";
    if (!force && controller.ChannelCount != file.ChannelCount)
        return "В файле " + std::to_string(file.ChannelCount) + " каналов, а у контроллера " +
               std::to_string(controller.ChannelCount);
    RestorePlan plan = PlanRestore(controller, file, keys);
    // A forced file of another shape writes what fits; a value that is none refuses the file.
    for (size_t i = 0; i < plan.Rows.size(); ++i)
        if (!plan.Rows[i].Error.empty() && !plan.Unfit[i])
            return "«" + plan.Rows[i].Caption + "» (" + plan.Rows[i].Group + "): " + plan.Rows[i].Error;
    // Every setting a write carries is held to the tool's rules, the chosen ones and those that
    // go along (the window writes the flowmeter group as one and checks all twelve).
    for (const auto& [write, rows] : plan.Writes)
        for (const SettingEntry& e : SettingTable(controller.ChannelCount))
            if (e.Write == write.Write && e.Index == write.Index && e.WriteCheck)
                if (std::string refusal = e.WriteCheck(plan.Target); !refusal.empty())
                    return "«" + e.Caption + "» (" + e.Group + "): " + refusal;
    const bool configuration = std::any_of(plan.Writes.begin(), plan.Writes.end(),
                                           [](const auto& w) { return w.first.Write == SettingWrite::TrkCfg; });
    if (configuration)
        if (std::string refusal = ConfigWriteRefusal(true, TrkCfgToControls(plan.Target.TrkCfg)); !refusal.empty())
            return refusal;
    return {};
}

std::vector<std::string> DifferenceKeys(const std::vector<SettingDifference>& differences) {
    std::vector<std::string> keys;
    for (const SettingDifference& d : differences) keys.push_back(d.Key);
    return keys;
}
