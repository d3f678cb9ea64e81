#pragma once
// The windows once more, without Qt: every display step the worker runs lands here as the
// texts the windows would show, for the command-line tester to print or write as JSON.
// Display steps run on the worker's thread (inline dispatcher); the tester reads the
// collection only after the worker has ended.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Views.h"

class TCliViews final : public IMainView,
                        public IConfigView,
                        public IDoseView,
                        public IFlowmeterView,
                        public ITabloView,
                        public ITabloManualTestView,
                        public IMcuPinsTestView,
                        public ISdExplorerView {
public:
    using Cell = std::pair<int, int>;  // row, column (or channel, flowmeter, device)

    TViews Bundle();

    TMainWindowState Window;
    std::string PortPanel;
    std::map<Cell, std::string> TrkCells, ChCells, ValveCells, FlowCells, TabloCells;
    std::vector<std::string> StatusTexts;  // panel 3, in order
    std::vector<std::string> ErrorTexts;   // panel 4, in order
    int ChannelCount = 0;
    int SubTrkCount = 0;
    std::string CurTimeUTC, CurTimeLocal;
    std::optional<TrkCfgControls> TrkCfg;
    std::optional<SubTrkCfgTexts> SubTrkCfg;
    std::vector<std::string> FoundLines;
    std::vector<std::string> SdEntries;
    bool SdFileStarted = false;
    uint32_t SdFileSize = 0, SdReceived = 0;
    std::string SdFileText;
    std::string SdFileBytes;  // the file as the card holds it
    std::map<int, std::pair<std::string, std::string>> LoadedDoses;  // channel -> litres, money
    // Called with every panel 3 text as it is shown, on the worker's thread (a long job's progress).
    std::function<void(const std::string&)> OnStatus;
    // Called with every channel state the poll reads (the recorder writes its rows from these).
    std::function<void(int, const std::array<uint8_t, kChannelStateSize>&)> OnChannelState;

    // IMainView
    TMainWindowState& State() override { return Window; }
    void SetTrkStatus(int row, int column, const std::string& text) override { TrkCells[{row, column}] = text; }
    void SetTrkStatusImage(int, int, int) override {}
    void SetChStatus(int row, int channel, const std::string& text) override { ChCells[{row, channel}] = text; }
    void SetChStatusImage(int, int, int) override {}
    void SetValveStatus(int row, int column, const std::string& text) override { ValveCells[{row, column}] = text; }
    void SetChannelCount(int count) override { ChannelCount = count; }
    void SetSubTrkCount(int count) override { SubTrkCount = count; }
    void SetDoorSensors(uint8_t) override {}
    void DrawNozzleColour(int, int) override {}
    void ShowFuelName(int) override {}
    // Every channel the controller has is shown: there is no window width to run out of.
    int ChannelColumnCount() override { return kChannelCount; }
    std::string PortPanelText() override { return PortPanel; }
    void SetStatusText(const std::string& text) override {
        Note(StatusTexts, text);
        if (OnStatus) OnStatus(text);
    }
    void SetErrorText(const std::string& text) override { Note(ErrorTexts, text); }
    void SetDevAddr(uint8_t address) override;
    void ReleasePollButton() override {}
    void SetSellTestButton(const std::string&, bool) override {}
    void SetTestTabloButtonEnabled(bool) override {}
    void SetReadMemButtonCaption(const std::string&) override {}
    std::vector<std::string> PortMenuNames() override { return {}; }
    void MarkPortBusy(int) override {}
    void PopupPortMenu(int, int) override {}

    // IConfigView
    void SetTimeButtonsEnabled(bool) override {}
    void SetFindNetAddrButtonCaption(const std::string&) override {}
    void SetProtocolComboIndex(int) override {}
    void SetProtocolComboEnabled(bool) override {}
    void SetCurTimeUTCText(const std::string& text) override { CurTimeUTC = text; }
    void SetCurTimeLocalText(const std::string& text) override { CurTimeLocal = text; }
    void AppendFoundLine(const std::string& line) override { FoundLines.push_back(line); }
    void ShowTrkCfg(const TrkCfgControls& controls) override { TrkCfg = controls; }
    void ShowSubTrkCfg(const SubTrkCfgTexts& texts) override { SubTrkCfg = texts; }
    // Prices are whole currency units when the configuration page read says so.
    bool KazakhPriceChecked() override { return TrkCfg && TrkCfg->KazakhPrice; }

    // IDoseView, IFlowmeterView, ITabloView
    void ShowLoadedDose(int channel, const std::string& dose, const std::string& sum) override {
        LoadedDoses[channel] = {dose, sum};
    }
    void TrackChannelState(int channel, const std::array<uint8_t, kChannelStateSize>& block) override {
        if (OnChannelState) OnChannelState(channel, block);
    }
    void SetFlowmeterCell(int row, int flowmeter, const std::string& text) override {
        FlowCells[{row, flowmeter}] = text;
    }
    void SetTabloCell(int row, int device, const std::string& text) override { TabloCells[{row, device}] = text; }

    // ISdExplorerView
    void ShowSdEntries(const std::vector<std::string>& names) override { SdEntries = names; }
    void StartSdFile(uint32_t size) override;
    void AppendSdFileChunk(const std::string& text, int chunkLength, uint32_t received) override;
    void AppendSdFileBytes(const std::string& bytes) override { SdFileBytes += bytes; }

private:
    static void Note(std::vector<std::string>& texts, const std::string& text);
    TInlineDispatcher dispatcher_;
};
