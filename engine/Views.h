#pragma once
// The only way the worker reaches the windows: one interface per window, called
// from display steps that run on the UI thread while the worker waits (see
// TComThread::Synchronize). Windows implement these; tests use RecordingViews.
// Builders of later windows add their methods here with small additive edits.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/ConfigControls.h"
#include "engine/DeviceState.h"

// Runs a step on the UI thread and returns only after it has run.
class IUiDispatcher {
public:
    virtual ~IUiDispatcher() = default;
    virtual void Run(const std::function<void()>& step) = 0;
};

// Runs each step at once on the calling thread: for code that already is the UI thread, and tests.
class TInlineDispatcher final : public IUiDispatcher {
public:
    void Run(const std::function<void()>& step) override { step(); }
};

// Image indices of the main window's lists.
namespace Images {
constexpr int None = -1;
constexpr int RedCross = 0;    // condition present, alarm
constexpr int GreenCheck = 1;  // condition present, normal
constexpr int GreyCheck = 2;   // not blocked
// Nozzle colour swatches live after the state icons; DrawNozzleColour picks them.
constexpr int DoorSensors = 0; // image 0 of the door-sensor list
}  // namespace Images

// State of the main window that display steps read and write (UI thread only).
struct TMainWindowState : TMainWindowTables {
    uint8_t DevAddr = 1;
    int32_t BaudRate = 9600;
    int32_t NewBaudRate = 0;
    int HdwErrCode = 0;       // 0..255, shown blinking in the title
    int EditHoldOff = 0;      // 500 ms ticks the dose editor must not be overwritten
    std::array<uint32_t, kChannelCount> LiftedNozzleColour{};   // red + green * 256 + blue * 65536
    std::array<uint32_t, kChannelCount> RestingNozzleColour{};  // likewise
    std::array<std::string, kChannelCount> FuelNames{};
};

class IMainView {
public:
    virtual ~IMainView() = default;
    virtual TMainWindowState& State() = 0;

    // Status views (rows by fixed index; channel cells take the 0-based channel).
    virtual void SetTrkStatus(int row, int column, const std::string& text) = 0;
    virtual void SetTrkStatusImage(int row, int column, int image) = 0;
    virtual void SetChStatus(int row, int channel, const std::string& text) = 0;
    virtual void SetChStatusImage(int row, int channel, int image) = 0;
    virtual void SetValveStatus(int row, int column, const std::string& text) = 0;
    virtual void SetChannelCount(int count) = 0;
    virtual void SetSubTrkCount(int count) = 0;
    virtual void SetDoorSensors(uint8_t bits) = 0;
    virtual void DrawNozzleColour(int channel, int kind) = 0;  // kind 0 lifted, 1 resting
    virtual void ShowFuelName(int channel) = 0;
    // Channel columns of ChStatusListView (its columns less the caption column).
    virtual int ChannelColumnCount() { return kOwnChannelCount; }

    // Status bar: panel 0 holds the port; 3 progress, 4 results.
    virtual std::string PortPanelText() = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetErrorText(const std::string& text) = 0;
    virtual void SetDevAddr(uint8_t address) = 0;  // ignores 0 and 255, saves the rest

    // Buttons the worker gives back when its job ends.
    virtual void ReleasePollButton() = 0;                               // enabled and raised
    virtual void SetSellTestButton(const std::string& caption, bool enabled) = 0;
    virtual void SetTestTabloButtonEnabled(bool enabled) = 0;
    virtual void SetReadMemButtonCaption(const std::string& caption) = 0;
    // Progress of a long read (memory dump, SD file) beside the panels; a total of 0 hides it.
    virtual void ShowJobProgress(uint64_t /*done*/, uint64_t /*total*/) {}

    // Port menu, probed for busy ports just before it opens.
    virtual std::vector<std::string> PortMenuNames() = 0;  // port name of each item, menu order
    virtual void MarkPortBusy(int item) = 0;                // appends " (Занят)" to the caption
    virtual void PopupPortMenu(int x, int y) = 0;
};

class IConfigView {
public:
    virtual ~IConfigView() = default;
    // ReadTimeButton, WriteTimeButton and WriteTimeCfgButton together.
    virtual void SetTimeButtonsEnabled(bool enabled) = 0;
    virtual void SetFindNetAddrButtonCaption(const std::string& caption) = 0;
    virtual void SetProtocolComboIndex(int index) = 0;  // -1 selects nothing
    virtual void SetProtocolComboEnabled(bool enabled) = 0;

    // Filled by the configuration readers. The defaults do nothing so that a window that
    // does not show these yet still builds; the configuration window overrides them.
    virtual void ShowTrkCfg(const TrkCfgControls& /*controls*/) {}
    virtual void SetTrkCfgWriteButtonEnabled(bool /*enabled*/) {}
    virtual void ShowSubTrkCfg(const SubTrkCfgTexts& /*texts*/) {}
    // KazakhPriceCheckBox: while it is checked, prices are whole currency units.
    virtual bool KazakhPriceChecked() { return false; }

    // Time group, filled by the clock reader. While the user types into CurTimeUTCEdit
    // (it is the active control) the reader leaves the group alone.
    virtual bool CurTimeUTCEditActive() { return false; }
    virtual void SetCurTimeUTCText(const std::string& /*text*/) {}
    virtual void SetCurTimeLocalText(const std::string& /*text*/) {}
    virtual void SetTimeZoneIndex(int /*item*/) {}   // -1 selects nothing
    virtual void SetTimeShiftIndex(int /*item*/) {}  // -1 selects nothing
    // Display-board brightness group: NightBrightEdit and the read-only illumination edits.
    virtual void SetNightBrightText(const std::string& /*text*/) {}
    virtual void SetIllum1Text(const std::string& /*text*/) {}
    virtual void SetIllum2Text(const std::string& /*text*/) {}
    // Bus search: one more line at the end of FindNetAddrMemo.
    virtual void AppendFoundLine(const std::string& /*line*/) {}
    // Remote initialisation: the request code the controller handed out, in SecReqCodeEdit.
    virtual void SetSecReqCodeText(const std::string& /*text*/) {}
};

class IDoseView {
public:
    virtual ~IDoseView() = default;
    // The dose the controller reports loaded on channel 0..4, in litres and money; the window
    // leaves the cell being edited alone (see TFuelForm).
    virtual void ShowLoadedDose(int /*channel*/, const std::string& /*dose*/, const std::string& /*sum*/) {}
};

class IFlowmeterView {
public:
    virtual ~IFlowmeterView() = default;
    // A value cell of the list (row, flowmeter 0..14); missing rows and cells are ignored.
    virtual void SetFlowmeterCell(int /*row*/, int /*flowmeter*/, const std::string& /*text*/) {}
    // The type a reader last reported for a flowmeter; the type editor starts from it.
    virtual void SetReportedFlowmeterType(int /*flowmeter*/, uint8_t /*type*/) {}
    // The crypto status code a reader last reported; the hint of the status cell explains it.
    virtual void SetCryptoStatus(int /*flowmeter*/, uint8_t /*code*/) {}
};

class ITabloView {
public:
    virtual ~ITabloView() = default;
    // A value cell (row, device 0..6); missing rows and cells are ignored.
    virtual void SetTabloCell(int /*row*/, int /*device*/, const std::string& /*text*/) {}
    // The window's colour-correction record of display board 0..3, as the board reported it.
    virtual void SetColourCorrection(int /*board*/,
                                     const std::array<uint8_t, kTabloColourCorrectionSize>& /*record*/) {}
    // A colour-correction write of board 0..3 has run; `taken` when the board took `record`.
    virtual void ColourCorrectionWritten(int /*board*/,
                                         const std::array<uint8_t, kTabloColourCorrectionSize>& /*record*/,
                                         bool /*taken*/) {}
};

class ITabloManualTestView {
public:
    virtual ~ITabloManualTestView() = default;
};

class IMcuPinsTestView {
public:
    virtual ~IMcuPinsTestView() = default;
    // The controller's answer, one byte per test index; the window evaluates and repaints.
    virtual void ShowPinTestResult(const std::array<uint8_t, kMcuPinCount>& /*result*/) {}
};

class ISdExplorerView {
public:
    virtual ~ISdExplorerView() = default;
    // Listing step: the names of the root entries, decoded, replacing the tree.
    virtual void ShowSdEntries(const std::vector<std::string>& /*names*/) {}
    // Size step: a new file of `size` bytes begins; the file text is cleared.
    virtual void StartSdFile(uint32_t /*size*/) {}
    // Chunk step: `text` (decoded, up to the chunk's first zero byte) is appended; `received`
    // counts the file's bytes read so far, for the progress shown beside the text.
    virtual void AppendSdFileChunk(const std::string& /*text*/, int /*chunkLength*/, uint32_t /*received*/) {}
};

// Everything a worker needs to reach the UI; every pointer is set for a real run.
struct TViews {
    IUiDispatcher* Dispatcher = nullptr;
    IMainView* Main = nullptr;
    IConfigView* Config = nullptr;
    IDoseView* Dose = nullptr;
    IFlowmeterView* Flowmeter = nullptr;
    ITabloView* Tablo = nullptr;
    ITabloManualTestView* TabloManualTest = nullptr;
    IMcuPinsTestView* McuPinsTest = nullptr;
    ISdExplorerView* SdExplorer = nullptr;
};
