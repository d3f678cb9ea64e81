#pragma once
// A fake of every window the worker talks to. It keeps the cells and texts the
// display steps wrote, plus a call log, so tests assert on what a user would see.
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Views.h"

// Runs display steps on the thread that calls Pump, like a UI event loop, while the
// worker that posted them waits.
class TPumpedDispatcher final : public IUiDispatcher {
public:
    void Run(const std::function<void()>& step) override;
    // Runs the steps posted so far; returns how many ran.
    int Pump();
    // Pumps until `done` holds or the time-out passes; returns `done()`.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    struct Posted {
        const std::function<void()>* step = nullptr;
        std::mutex mutex;
        std::condition_variable finished;
        bool ran = false;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Posted>> queue_;
};

class TRecordingViews : public IMainView,
                        public IConfigView,
                        public IDoseView,
                        public IFlowmeterView,
                        public ITabloView,
                        public ITabloManualTestView,
                        public IMcuPinsTestView,
                        public ISdExplorerView {
public:
    using Cell = std::pair<int, int>;

    // Display steps run inline unless a pumped dispatcher is given.
    TViews Bundle();
    TViews Bundle(IUiDispatcher& dispatcher);

    // Main window.
    TMainWindowState Window;
    std::string PortPanel = "ttyS0";
    std::map<Cell, std::string> TrkCells, ChCells, ValveCells;
    std::map<Cell, int> TrkImages, ChImages;
    std::vector<std::string> StatusTexts;  // every text shown in panel 3, in order
    std::vector<std::string> ErrorTexts;   // every text shown in panel 4, in order
    std::vector<std::string> Calls;        // "Name arg arg ..." of every call, in order
    std::vector<std::string> PortMenu;     // captions; PortMenuNames() returns the names given here
    std::vector<std::string> PortMenuNamesList;
    bool PortMenuOpened = false;
    bool PollButtonReleased = false;
    std::string SellTestCaption, ReadMemCaption;
    bool SellTestEnabled = false, TestTabloEnabled = false;

    // Configuration window.
    bool TimeButtonsEnabled = true;
    std::string FindNetAddrCaption;
    int ProtocolComboIndex = -2;  // -2: never set
    bool ProtocolComboEnabled = true;
    std::optional<TrkCfgControls> TrkCfgShown;
    std::optional<SubTrkCfgTexts> SubTrkCfgShown;
    bool TrkCfgWriteEnabled = false;
    bool KazakhPrice = false;  // what KazakhPriceChecked answers
    bool UtcEditActive = false;  // what CurTimeUTCEditActive answers
    int ChannelColumns = kOwnChannelCount;  // what ChannelColumnCount answers; SetChannelCount sets it
    std::string CurTimeUTC, CurTimeLocal, NightBright, Illum1, Illum2;
    std::vector<std::string> FoundLines;  // FindNetAddrMemo, line by line
    std::string SecReqCode;
    int TimeZoneIndex = -2, TimeShiftIndex = -2;  // -2: never set

    // Flowmeter and display-board windows: (row, flowmeter or device) -> text.
    std::map<Cell, std::string> FlowCells, TabloCells;
    std::map<int, int> ReportedFlowmeterTypes;
    std::map<int, int> CryptoStatuses;
    std::map<int, std::array<uint8_t, kTabloColourCorrectionSize>> ColourCorrections;
    // Dose window: channel -> dose and sum texts shown.
    std::map<int, std::pair<std::string, std::string>> LoadedDoses;

    // Convenience lookups: empty text / Images::None when never written.
    std::string Trk(int row, int column = 0) const;
    std::string Ch(int row, int channel) const;
    std::string Valve(int row, int column) const;
    std::string FlowCell(int row, int flowmeter) const;
    std::string TabloCell(int row, int device) const;
    bool Called(const std::string& prefix) const;
    std::string LastStatus() const { return StatusTexts.empty() ? "" : StatusTexts.back(); }
    std::string LastError() const { return ErrorTexts.empty() ? "" : ErrorTexts.back(); }

    TMainWindowState& State() override { return Window; }
    void SetTrkStatus(int row, int column, const std::string& text) override;
    void SetTrkStatusImage(int row, int column, int image) override;
    void SetChStatus(int row, int channel, const std::string& text) override;
    void SetChStatusImage(int row, int channel, int image) override;
    void SetValveStatus(int row, int column, const std::string& text) override;
    void SetChannelCount(int count) override;
    void SetSubTrkCount(int count) override;
    void SetDoorSensors(uint8_t bits) override;
    void DrawNozzleColour(int channel, int kind) override;
    void ShowFuelName(int channel) override;
    int ChannelColumnCount() override { return ChannelColumns; }
    std::string PortPanelText() override { return PortPanel; }
    void SetStatusText(const std::string& text) override;
    void SetErrorText(const std::string& text) override;
    void SetDevAddr(uint8_t address) override;
    void ReleasePollButton() override;
    void SetSellTestButton(const std::string& caption, bool enabled) override;
    void SetTestTabloButtonEnabled(bool enabled) override;
    void SetReadMemButtonCaption(const std::string& caption) override;
    std::vector<std::string> PortMenuNames() override { return PortMenuNamesList; }
    void MarkPortBusy(int item) override;
    void PopupPortMenu(int x, int y) override;

    void SetTimeButtonsEnabled(bool enabled) override;
    void SetFindNetAddrButtonCaption(const std::string& caption) override;
    void SetProtocolComboIndex(int index) override;
    void SetProtocolComboEnabled(bool enabled) override;
    void ShowTrkCfg(const TrkCfgControls& controls) override;
    void SetTrkCfgWriteButtonEnabled(bool enabled) override;
    void ShowSubTrkCfg(const SubTrkCfgTexts& texts) override;
    bool KazakhPriceChecked() override { return KazakhPrice; }
    bool CurTimeUTCEditActive() override { return UtcEditActive; }
    void SetCurTimeUTCText(const std::string& text) override;
    void SetCurTimeLocalText(const std::string& text) override;
    void SetTimeZoneIndex(int item) override;
    void SetTimeShiftIndex(int item) override;
    void SetNightBrightText(const std::string& text) override;
    void SetIllum1Text(const std::string& text) override;
    void SetIllum2Text(const std::string& text) override;

    void SetFlowmeterCell(int row, int flowmeter, const std::string& text) override;
    void AppendFoundLine(const std::string& line) override { FoundLines.push_back(line); }
    void SetSecReqCodeText(const std::string& text) override { SecReqCode = text; }
    void SetReportedFlowmeterType(int flowmeter, uint8_t type) override;
    void SetCryptoStatus(int flowmeter, uint8_t code) override { CryptoStatuses[flowmeter] = code; }
    void SetTabloCell(int row, int device, const std::string& text) override;
    void SetColourCorrection(int board, const std::array<uint8_t, kTabloColourCorrectionSize>& record) override;
    void ShowLoadedDose(int channel, const std::string& dose, const std::string& sum) override {
        LoadedDoses[channel] = {dose, sum};
    }

private:
    void Log(std::string call) { Calls.push_back(std::move(call)); }
    TInlineDispatcher inline_;
};
