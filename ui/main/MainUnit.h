#pragma once
// The main window: the button row, the three status views, the status bar with the link
// settings, and the start rule that turns every user action into an operation for the worker.
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"
#include "ui/main/ButtonRules.h"
#include "ui/main/HardwareFaults.h"
#include "ui/main/LinkRules.h"
#include "ui/main/QtDispatcher.h"
#include "ui/main/StatusImages.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/WindowLayout.h"

class ColumnFitter;
class QAction;
class QColorDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class RepaintPacer;
class ReportView;
class StatusPanelBar;
class ToolWindow;
struct EditOutcome;

// Jobs of the buttons; a button whose job is not available yet does nothing.
struct TJobOperations {
    Op Poll = nullptr;
    Op SellTest = nullptr;
    Op TabloTest = nullptr;
    Op ClearMemory = nullptr;
    Op ReadMemory = nullptr;
    Op WriteBitRate = nullptr;
    Op WriteBusAddress = nullptr;
};

// The dialog windows the main window opens; created after it, attached once.
struct TDialogWindows {
    ToolWindow* Fuel = nullptr;
    ToolWindow* TRK_Cfg = nullptr;
    ToolWindow* Flowmeter = nullptr;
    ToolWindow* Tablo = nullptr;
    ToolWindow* TestTabloManual = nullptr;
    ToolWindow* TestMcuPins = nullptr;
    ToolWindow* SdExplorer = nullptr;
};

class TForm1 : public QWidget, public IMainView {
    Q_OBJECT
public:
    explicit TForm1(const std::string& settingsPath, QWidget* parent = nullptr);
    ~TForm1() override;
    // Every picture the views have been given comes from here.
    const StatusPictures& Pictures() const { return pictures_; }
    const RepaintPacer* Repaints() const { return repaints_; }

    // Gives the window its dialogs and the views every worker reaches.
    void AttachDialogs(const TDialogWindows& dialogs, const TViews& views);
    const TViews& Views() const { return views_; }
    TJobOperations Jobs;
    // Where the port menu's entries come from (the machine's serial ports unless replaced).
    std::function<std::vector<PortEntry>()> PortSource;

    // IMainView
    TMainWindowState& State() override { return state_; }
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
    int ChannelColumnCount() override;
    std::string PortPanelText() override;
    void SetStatusText(const std::string& text) override;
    void SetErrorText(const std::string& text) override;
    // A message for panel 4 that outlasts the status updates that have nothing to say there.
    void ShowStandingMessage(const std::string& text);
    void SetDevAddr(uint8_t address) override;
    void ReleasePollButton() override;
    void SetSellTestButton(const std::string& caption, bool enabled) override;
    void SetTestTabloButtonEnabled(bool enabled) override;
    void SetReadMemButtonCaption(const std::string& caption) override;
    void ShowJobProgress(uint64_t done, uint64_t total) override;
    std::vector<std::string> PortMenuNames() override;
    void MarkPortBusy(int item) override;
    void PopupPortMenu(int x, int y) override;

    // Settings and link selection.
    void LoadSettings();
    // Shows link settings without writing them (the command line's take the file's place).
    void ShowLinkSettings(const LinkSettings& settings);
    // Puts window, splitter and columns where the settings file remembers them, and from then
    // on remembers what the engineer changes when the window closes. True when it placed the window.
    bool RestoreWindowLayout();
    WindowLayout CurrentWindowLayout() const;
    void SetComPort(const std::string& name);
    void CheckComPort();
    void SetBaudRate(int rate);
    int EnumComPorts(std::vector<PortEntry>& ports);

    // Start rule: hands the operation to the running worker or starts one for it.
    void RunOperation(Op op, const std::function<void(TComThread&)>& stage = {});
    TComThread* CreateComThread();
    void StartPoll();

    // Handlers, named after control and event.
    void PollButtonClick(bool down);
    void WindowButtonClick(int index, bool down);
    void TRK_CfgButtonClick();
    void SellTestButtonClick();
    void TestTabloButtonClick();
    void TestTabloManualButtonClick();
    void TestMcuPinsButtonClick();
    void SdExploreButtonClick();
    void ClrMemButtonClick();
    void ReadMemButtonClick();
    void MainStatusBarMouseDown(int panel, QPoint globalPos);
    void BaudPopupMenuClick(int rate);
    void ChangeAddrButtonClick();
    void TRK_StatusListViewMouseMove(int row, QPoint globalPos);

    // Controls keep their form names (also as objectName).
    QWidget* TopPanel = nullptr;
    QPushButton* PollButton = nullptr;
    QPushButton* FuelButton = nullptr;
    QPushButton* TRK_CfgButton = nullptr;
    QPushButton* FlowmeterButton = nullptr;
    QPushButton* SellTestButton = nullptr;
    QPushButton* TestTabloButton = nullptr;
    QPushButton* TestTabloManualButton = nullptr;
    QPushButton* TestMcuPinsButton = nullptr;
    QPushButton* TabloButton = nullptr;
    QPushButton* SdExploreButton = nullptr;
    QPushButton* ClrMemButton = nullptr;
    QPushButton* ReadMemButton = nullptr;
    QLabel* ChangeAddrLabel = nullptr;
    QLineEdit* ChangeAddrEdit = nullptr;
    QPushButton* ChangeAddrButton = nullptr;
    QSplitter* MainSplitter = nullptr;
    ReportView* TRK_StatusListView = nullptr;
    QWidget* MainPanel = nullptr;
    ReportView* ChStatusListView = nullptr;
    ReportView* ValveListView = nullptr;
    StatusPanelBar* MainStatusBar = nullptr;
    QProgressBar* JobProgressBar = nullptr;  // beside the panels while a long read runs
    QLineEdit* ComPortEdit = nullptr;
    QLineEdit* DevAddrEdit = nullptr;
    QLineEdit* ListViewEdit = nullptr;
    QMenu* MainPopupMenu = nullptr;
    QMenu* BaudPopupMenu = nullptr;
    QMenu* ServiceMenu = nullptr;  // "Сервис": right click on the button row
    // The settings entries of the menu; TSettingsActions does what they ask.
    QAction* SaveSettingsAction = nullptr;
    QAction* CompareSettingsAction = nullptr;
    QAction* RestoreSettingsAction = nullptr;
    QAction* ReportAction = nullptr;
    QAction* StopSettingsAction = nullptr;
    QTimer* HdwErrTimer = nullptr;
    QColorDialog* ColorDialog1 = nullptr;

    // Target of the in-place editor.
    int EditTrkRow = 0, EditChRow = 0, EditChannel = 0, EditValveRow = -1, EditValveColumn = 0;

    // In-place editing of the three views and the click cells of the channel view (MainEditor.cpp).
    void TRK_StatusListViewMouseDown(QPoint pos);  // viewport positions
    void ChStatusListViewMouseDown(QPoint pos);
    void ValveListViewMouseDown(QPoint pos);
    void ListViewEditKeyDown(int key);
    void ListViewEditExit();
    // Starter of the colour cells: writes both colours the window keeps for the channel.
    void SendNozzleColours(int channel);
    // The colour dialog, preset with a colour (0x00BBGGRR); nothing when the user cancels.
    // Runs ColorDialog1 unless replaced.
    std::function<std::optional<uint32_t>(uint32_t)> PickNozzleColour;

signals:
    void Closed();
    // The controller's channel count as the channel view shows it; the dialogs follow it.
    void ChannelCountChanged(int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void StartJob(Op op, const std::function<void()>& showRunning);
    void DoJobAction(JobAction action, Op op, const std::function<void()>& showRunning);
    void BuildTopPanel();
    void BuildViews();
    void BuildStatusBar();
    void PlaceStatusEditors();
    void ShowLinkPanels();
    void SaveSetting(std::string_view key, const std::string& value);
    void HdwErrTimerTimer();
    void ShowMessagePanel();
    void BuildServiceMenu();
    QList<int> OpeningSplit() const;
    std::array<QPushButton*, 3> WindowButtons() const;
    std::array<ToolWindow*, 3> GroupWindows() const;
    void ShowEditorOver(QLineEdit* editor, const QString& text);
    void BuildInPlaceEditor();
    void ClearEditTargets();
    void OpenCellEditor(ReportView* view, int row, int column);
    void ApplyEdit(const EditOutcome& outcome);
    void ToggleChannelBlock(int channel);
    void PickColourFor(int channel, int kind);

    TMainWindowState state_;
    SettingsFile settings_;
    QtDispatcher dispatcher_;
    TViews views_;
    TDialogWindows dialogs_;
    HdwErrBlink blink_;
    std::chrono::steady_clock::time_point progressStart_{};
    ColumnFitter* trkColumns_ = nullptr;
    ColumnFitter* chColumns_ = nullptr;
    ColumnFitter* valveColumns_ = nullptr;
    bool layoutRestored_ = false;
    WindowLayout layoutBaseline_;
    QSize sizeBaseline_;
    std::string standingMessage_;   // shown in panel 4 whenever nothing else is
    std::string message_ = "OK";  // the message panel's text before a controller fault is added
    std::string shownOpenFailure_;  // the port check's reason in panel 4, cleared when the port opens
    StatusPictures pictures_;
    RepaintPacer* repaints_ = nullptr;
    // ChStatusImageList: the state icons, then two swatches per channel.
    std::vector<QPixmap> chImages_;
    // DoorOpenImageList: empty until the first door reading.
    std::vector<QPixmap> doorImages_;
};

// The machine's serial ports as the platform lists them, unsorted.
std::vector<PortEntry> SystemSerialPorts();

// Asks the running worker, if any, to stop and handles UI events (its display steps among
// them) until it has ended.
void WaitForWorkerEnd();

// Index of a channel's swatch in the channel view's image list (kind 0 lifted, 1 resting).
int SwatchImageIndex(int channel, int kind);
