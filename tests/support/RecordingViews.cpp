#include "tests/support/RecordingViews.h"

void TPumpedDispatcher::Run(const std::function<void()>& step) {
    // The hand-over is shared and the worker waits on it alone: after the last step of a job the
    // test may destroy this dispatcher while the worker is still waking up.
    auto posted = std::make_shared<Posted>();
    posted->step = &step;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(posted);
        changed_.notify_all();
    }
    std::unique_lock lock(posted->mutex);
    posted->finished.wait(lock, [&] { return posted->ran; });
}

int TPumpedDispatcher::Pump() {
    int count = 0;
    for (;;) {
        std::shared_ptr<Posted> posted;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return count;
            posted = queue_.front();
            queue_.pop_front();
        }
        (*posted->step)();
        ++count;
        std::lock_guard lock(posted->mutex);
        posted->ran = true;
        posted->finished.notify_one();
    }
}

bool TPumpedDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (Pump() > 0) continue;
        std::unique_lock lock(mutex_);
        if (std::chrono::steady_clock::now() >= deadline) return done();
        changed_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue_.empty(); });
    }
    return true;
}

TViews TRecordingViews::Bundle() { return Bundle(inline_); }

TViews TRecordingViews::Bundle(IUiDispatcher& dispatcher) {
    TViews v;
    v.Dispatcher = &dispatcher;
    v.Main = this;
    v.Config = this;
    v.Dose = this;
    v.Flowmeter = this;
    v.Tablo = this;
    v.TabloManualTest = this;
    v.McuPinsTest = this;
    v.SdExplorer = this;
    return v;
}

namespace {
template <typename Map>
auto Lookup(const Map& map, int a, int b, typename Map::mapped_type fallback) {
    const auto it = map.find({a, b});
    return it == map.end() ? fallback : it->second;
}
std::string Join(const std::string& name, int a, int b, const std::string& text) {
    return name + " " + std::to_string(a) + " " + std::to_string(b) + " " + text;
}
}  // namespace

std::string TRecordingViews::Trk(int row, int column) const { return Lookup(TrkCells, row, column, std::string()); }
std::string TRecordingViews::Ch(int row, int channel) const { return Lookup(ChCells, row, channel, std::string()); }
std::string TRecordingViews::Valve(int row, int column) const { return Lookup(ValveCells, row, column, std::string()); }
std::string TRecordingViews::FlowCell(int row, int flowmeter) const { return Lookup(FlowCells, row, flowmeter, std::string()); }
std::string TRecordingViews::TabloCell(int row, int device) const { return Lookup(TabloCells, row, device, std::string()); }

bool TRecordingViews::Called(const std::string& prefix) const {
    for (const auto& call : Calls)
        if (call.rfind(prefix, 0) == 0) return true;
    return false;
}

void TRecordingViews::SetTrkStatus(int row, int column, const std::string& text) {
    TrkCells[{row, column}] = text;
    Log(Join("SetTrkStatus", row, column, text));
}
void TRecordingViews::SetTrkStatusImage(int row, int column, int image) {
    TrkImages[{row, column}] = image;
    Log(Join("SetTrkStatusImage", row, column, std::to_string(image)));
}
void TRecordingViews::SetChStatus(int row, int channel, const std::string& text) {
    ChCells[{row, channel}] = text;
    Log(Join("SetChStatus", row, channel, text));
}
void TRecordingViews::SetChStatusImage(int row, int channel, int image) {
    ChImages[{row, channel}] = image;
    Log(Join("SetChStatusImage", row, channel, std::to_string(image)));
}
void TRecordingViews::SetValveStatus(int row, int column, const std::string& text) {
    ValveCells[{row, column}] = text;
    Log(Join("SetValveStatus", row, column, text));
}
void TRecordingViews::SetChannelCount(int count) {
    ChannelColumns = count;
    Log("SetChannelCount " + std::to_string(count));
}
void TRecordingViews::SetSubTrkCount(int count) { Log("SetSubTrkCount " + std::to_string(count)); }
void TRecordingViews::SetDoorSensors(uint8_t bits) { Log("SetDoorSensors " + std::to_string(bits)); }
void TRecordingViews::DrawNozzleColour(int channel, int kind) {
    Log("DrawNozzleColour " + std::to_string(channel) + " " + std::to_string(kind));
}
void TRecordingViews::ShowFuelName(int channel) { Log("ShowFuelName " + std::to_string(channel)); }
void TRecordingViews::SetStatusText(const std::string& text) {
    StatusTexts.push_back(text);
    Log("SetStatusText " + text);
}
void TRecordingViews::SetErrorText(const std::string& text) {
    ErrorTexts.push_back(text);
    Log("SetErrorText " + text);
}
void TRecordingViews::SetDevAddr(uint8_t address) {
    if (address != 0 && address != 255) Window.DevAddr = address;
    Log("SetDevAddr " + std::to_string(address));
}
void TRecordingViews::ReleasePollButton() {
    PollButtonReleased = true;
    Log("ReleasePollButton");
}
void TRecordingViews::SetSellTestButton(const std::string& caption, bool enabled) {
    SellTestCaption = caption;
    SellTestEnabled = enabled;
    Log("SetSellTestButton " + caption);
}
void TRecordingViews::SetTestTabloButtonEnabled(bool enabled) {
    TestTabloEnabled = enabled;
    Log(std::string("SetTestTabloButtonEnabled ") + (enabled ? "1" : "0"));
}
void TRecordingViews::SetReadMemButtonCaption(const std::string& caption) {
    ReadMemCaption = caption;
    Log("SetReadMemButtonCaption " + caption);
}
void TRecordingViews::MarkPortBusy(int item) {
    if (item >= 0 && item < int(PortMenu.size())) PortMenu[size_t(item)] += " (Занят)";
    Log("MarkPortBusy " + std::to_string(item));
}
void TRecordingViews::PopupPortMenu(int x, int y) {
    PortMenuOpened = true;
    Log("PopupPortMenu " + std::to_string(x) + " " + std::to_string(y));
}
void TRecordingViews::SetTimeButtonsEnabled(bool enabled) {
    TimeButtonsEnabled = enabled;
    Log(std::string("SetTimeButtonsEnabled ") + (enabled ? "1" : "0"));
}
void TRecordingViews::SetFindNetAddrButtonCaption(const std::string& caption) {
    FindNetAddrCaption = caption;
    Log("SetFindNetAddrButtonCaption " + caption);
}
void TRecordingViews::SetProtocolComboIndex(int index) {
    ProtocolComboIndex = index;
    Log("SetProtocolComboIndex " + std::to_string(index));
}
void TRecordingViews::SetProtocolComboEnabled(bool enabled) {
    ProtocolComboEnabled = enabled;
    Log(std::string("SetProtocolComboEnabled ") + (enabled ? "1" : "0"));
}
void TRecordingViews::ShowTrkCfg(const TrkCfgControls& controls) {
    TrkCfgShown = controls;
    Log("ShowTrkCfg");
}
void TRecordingViews::SetTrkCfgWriteButtonEnabled(bool enabled) {
    TrkCfgWriteEnabled = enabled;
    Log(std::string("SetTrkCfgWriteButtonEnabled ") + (enabled ? "1" : "0"));
}
void TRecordingViews::ShowSubTrkCfg(const SubTrkCfgTexts& texts) {
    SubTrkCfgShown = texts;
    Log("ShowSubTrkCfg");
}
void TRecordingViews::SetCurTimeUTCText(const std::string& text) {
    CurTimeUTC = text;
    Log("SetCurTimeUTCText " + text);
}
void TRecordingViews::SetCurTimeLocalText(const std::string& text) {
    CurTimeLocal = text;
    Log("SetCurTimeLocalText " + text);
}
void TRecordingViews::SetTimeZoneIndex(int item) {
    TimeZoneIndex = item;
    Log("SetTimeZoneIndex " + std::to_string(item));
}
void TRecordingViews::SetTimeShiftIndex(int item) {
    TimeShiftIndex = item;
    Log("SetTimeShiftIndex " + std::to_string(item));
}
void TRecordingViews::SetNightBrightText(const std::string& text) {
    NightBright = text;
    Log("SetNightBrightText " + text);
}
void TRecordingViews::SetIllum1Text(const std::string& text) {
    Illum1 = text;
    Log("SetIllum1Text " + text);
}
void TRecordingViews::SetIllum2Text(const std::string& text) {
    Illum2 = text;
    Log("SetIllum2Text " + text);
}
void TRecordingViews::SetFlowmeterCell(int row, int flowmeter, const std::string& text) {
    FlowCells[{row, flowmeter}] = text;
    Log(Join("SetFlowmeterCell", row, flowmeter, text));
}
void TRecordingViews::SetReportedFlowmeterType(int flowmeter, uint8_t type) {
    ReportedFlowmeterTypes[flowmeter] = type;
    Log("SetReportedFlowmeterType " + std::to_string(flowmeter) + " " + std::to_string(type));
}
void TRecordingViews::SetTabloCell(int row, int device, const std::string& text) {
    TabloCells[{row, device}] = text;
    Log(Join("SetTabloCell", row, device, text));
}
void TRecordingViews::SetColourCorrection(int board, const std::array<uint8_t, kTabloColourCorrectionSize>& record) {
    ColourCorrections[board] = record;
    Log("SetColourCorrection " + std::to_string(board));
}
