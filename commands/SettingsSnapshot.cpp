#include "commands/SettingsSnapshot.h"

#include <algorithm>
#include <map>

#include "commands/ChannelState.h"
#include "commands/FlowmeterTexts.h"
#include "commands/PeripheralTexts.h"
#include "commands/SettingsTable.h"
#include "engine/DeviceTypes.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/FuelNameCodes.h"

namespace {

constexpr uint8_t kSoundGenNoLink = 255;

// The totals of the channel view's rows 14..19, for the record.
struct CounterRow {
    int Row;
    const char* Caption;
};
constexpr CounterRow kCounterRows[] = {
    {15, "Суммарник, (л)"},
    {16, "Суммарник переливов, (л)"},
    {17, "Суммарник ручных наливов, (л)"},
    {18, "Суммарник наливов с ИК-пульта, (л)"},
    {19, "Суммарник денежный, (руб)"},
};

std::string TrimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

std::vector<SettingRow> Rows(const SettingsSnapshot& snapshot) {
    std::vector<SettingRow> rows;
    const auto& held = snapshot.FileKeys;
    for (const SettingEntry& e : SettingTable(snapshot.ChannelCount)) {
        if (held && std::find(held->begin(), held->end(), e.Key) == held->end()) continue;
        if (auto text = e.Get(snapshot)) rows.push_back({e.Group, e.Caption, *text, e.Key});
    }
    return rows;
}

std::vector<SettingDifference> DiffSettings(const SettingsSnapshot& controller, const SettingsSnapshot& file) {
    std::map<std::string, std::string> have;
    for (const SettingRow& row : Rows(controller)) have[row.Key] = row.Text;
    std::vector<SettingDifference> differences;
    for (const SettingRow& row : Rows(file)) {
        auto it = have.find(row.Key);
        const std::string now = it == have.end() ? std::string() : it->second;
        if (it == have.end() || now != row.Text) differences.push_back({row.Group, row.Caption, now, row.Text, row.Key});
    }
    return differences;
}

std::string SetSettingText(SettingsSnapshot& snapshot, const std::string& key, const std::string& text) {
    const SettingEntry* e = FindSetting(key, snapshot.ChannelCount);
    if (!e) return "Неизвестная настройка " + key;
    SettingsSnapshot trial = snapshot;
    if (std::string error = e->Set(trial, text); !error.empty()) return error;
    if (trial.FileKeys && std::find(trial.FileKeys->begin(), trial.FileKeys->end(), key) == trial.FileKeys->end())
        trial.FileKeys->push_back(key);
    snapshot = std::move(trial);
    return {};
}

std::string NormalFuelName(const std::string& text) {
    std::array<uint8_t, FuelNameLength> codes{};
    EncodeFuelName(text, codes);
    return TrimmedRight(DecodeFuelName(codes));
}

SettingsSnapshot SnapshotFromState(const TDeviceState& s) {
    SettingsSnapshot out;
    const uint8_t* info = s.DeviceInfo.data();
    out.Identity.DeviceType = uint16_t(info[DeviceInfoAt::Type] | info[DeviceInfoAt::Type + 1] << 8);
    out.Identity.DeviceTypeText = DeviceTypeText(out.Identity.DeviceType);
    out.Identity.Firmware = FirmwareText(info + DeviceInfoAt::Firmware);
    out.Identity.Md5 = s.FirmwareMd5;
    out.Identity.VrxId = GetU32(info + DeviceInfoAt::VrxId);
    out.ChannelCount = s.LogicalChannelCount();

    out.TrkCfg = s.TrkCfg;
    out.SubTrkCfg = s.SubTrkCfg;
    const uint8_t protocol = info[DeviceInfoAt::ProtocolType];
    out.ProtocolType = protocol < 3 ? protocol : -1;
    out.TimeZone = s.TimeZone;
    out.SummerTimeMode = s.SummerTimeMode;

    out.FlowmeterTimeout = uint8_t(s.FlowmeterTimeout);
    if (s.FlowmeterParamsPresent) out.FlowmeterParams = s.FlowmeterParams;
    out.FlowmeterParamsFull = s.FlowmeterParamsPresent != 0;
    out.TabloCutOff = uint16_t(s.TabloCutOff);
    out.NightBright = uint8_t(s.NightBright);
    out.TabloTestStep = uint8_t(s.TabloTestStep);

    for (int c = 0; c < out.ChannelCount; ++c) {
        ChannelStateBlock block(s.ChannelState[size_t(c)]);
        ChannelSettings ch;
        ch.Price = GetU32(&block[ChannelStateAt::Price]);
        ch.PumpRampUpTime = s.PumpRampUpTime[size_t(c)];
        ch.FuelName = TrimmedRight(DecodeFuelName(block.subspan<ChannelStateAt::FuelName, FuelNameLength>()));
        ch.LiftedColour = NozzleColour(block, ChannelStateAt::LiftedColour);
        ch.RestingColour = NozzleColour(block, ChannelStateAt::RestingColour);
        ch.VrxAddress = block[ChannelStateAt::VrxAddress];
        ch.ReductionConst = s.ReductionConst[size_t(c)];
        out.Channels.push_back(ch);

        const std::string group = "Канал " + std::to_string(c + 1);
        const std::vector<RowText> texts = ChannelStateTexts(block);
        for (const CounterRow& counter : kCounterRows)
            for (const RowText& t : texts)
                if (t.Row == counter.Row) out.Counters.push_back({group, counter.Caption, t.Text});
    }
    for (int f = 0; f < std::min(out.ChannelCount, kOwnChannelCount); ++f) {
        const auto& record = s.FlowmeterData[size_t(f)];
        FlowmeterSettings m;
        m.Type = record[FlowmeterDataAt::Type];
        m.LpgAddress = record[FlowmeterDataAt::LpgAddress];
        if (m.Type == kCryptoFlowmeterType) m.TempOffset = int8_t(s.CryptoData[size_t(f)][CryptoAt::TempOffset]);
        out.Flowmeters.push_back(m);
    }
    if (s.SoundGen.State != kSoundGenNoLink) {
        SoundGenSettings g;
        g.Address = s.SoundGenAddress;
        if (!SoundGenSilent(s.SoundGen.State)) g.Volume = s.SoundGen.Volume;
        out.SoundGen = g;
    }
    if (s.ValveControllerReached)
        out.ValveController = ValveControllerSettings{s.ValveControllerSettings[0], s.ValveControllerSettings[1],
                                                      s.ValveControllerSettings[2]};
    for (int d = 0; d < kDisplayDeviceCount; ++d) {
        const int8_t offset = s.TabloTempOffsetRead[size_t(d)];
        if (offset != -128) out.Displays[size_t(d)].TempOffset = offset;
        if (d < kDisplayBoardCount) out.Displays[size_t(d)].ColourCorrection = s.TabloColourCorrectionRead[size_t(d)];
    }
    return out;
}
