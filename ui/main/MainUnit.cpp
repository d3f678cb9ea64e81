#include "ui/main/MainUnit.h"

#include <QAction>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "link/ComPortUnit.h"
#include "link/LineFactory.h"
#include "ui/dialogs/SettingsDiffRules.h"
#include "ui/dialogs/ToolWindow.h"
#include "ui/main/ButtonRules.h"
#include "ui/main/ColumnFitter.h"
#include "ui/main/JobProgress.h"
#include "ui/main/StatusImages.h"
#include "ui/main/StatusPanelBar.h"
#include "engine/StatusRows.h"
#include "ui/widgets/RepaintPacer.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/WindowFit.h"

namespace {

constexpr int kPortPanel = 0, kRatePanel = 1, kAddrPanel = 2, kStatePanel = 3, kMessagePanel = 4;
constexpr int kStateIconCount = 3;
constexpr int kChannelColumnWidth = 90;
constexpr int kChCaptionWidth = 220;
constexpr int kHdwErrIntervalMs = 500;
// About one frame of a 60 Hz screen: a poll's changes are painted together, none is missed.
constexpr int kRepaintIntervalMs = 16;
constexpr int kDesignedWidth = 1024, kDesignedHeight = 775;
constexpr int kWidestLinkPanel = 180;  // a typed /dev/serial/by-id/... path shows whole in the tip
// The longest value of the left view: the controller's MD5, 32 hexadecimal digits.
constexpr char kWidestTrkValue[] = "DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD";

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(const char* s) { return QString::fromUtf8(s); }

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, bool toggle) {
    auto* b = new QPushButton(Q(caption), parent);
    b->setObjectName(Q(name));
    b->setCheckable(toggle);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// What a view needs beyond its columns: a vertical scroll bar and its frame.
int ViewChrome(const ReportView& view) {
    return view.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * view.frameWidth();
}

// A view's opening width: its captions, and value columns of the given widths.
int OpeningViewWidth(const ReportView& view, std::initializer_list<int> values) {
    int width = view.ColumnContentWidth(0) + ViewChrome(view);
    for (int v : values) width += v;
    return width;
}

}  // namespace

void WaitForWorkerEnd() {
    // Each display step of the worker is an event, so waiting for events never misses the end.
    TerminateWorkerAndWait([] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); });
}

int SwatchImageIndex(int channel, int kind) {
    return kStateIconCount + channel * 2 + kind;
}

TForm1::TForm1(const std::string& settingsPath, QWidget* parent)
    : QWidget(parent), settings_(settingsPath) {
    setObjectName("Form1");
    setWindowTitle("Ornix Tester");
    setMinimumSize(kDesignedWidth, 494);

    for (int i = 0; i < kStateIconCount; ++i) chImages_.push_back(pictures_.State(i));
    chImages_.resize(size_t(SwatchImageIndex(kChannelCount, 0)));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildTopPanel();
    BuildViews();
    BuildStatusBar();
    layout->addWidget(TopPanel);
    layout->addWidget(MainSplitter, 1);
    // The progress bar stands beside the panels only while a long read runs.
    JobProgressBar = new QProgressBar(this);
    JobProgressBar->setObjectName("JobProgressBar");
    JobProgressBar->setFixedWidth(220);
    JobProgressBar->setMaximumHeight(MainStatusBar->sizeHint().height());
    JobProgressBar->setTextVisible(true);
    JobProgressBar->hide();
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(0);
    statusRow->addWidget(MainStatusBar, 1);
    statusRow->addWidget(JobProgressBar);
    layout->addLayout(statusRow);

    ListViewEdit = new QLineEdit(this);
    ListViewEdit->setObjectName("ListViewEdit");
    ListViewEdit->hide();
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName("ColorDialog1");
    BuildInPlaceEditor();
    BuildServiceMenu();
    // Wide enough for the left view's captions and MD5 beside five channels, where the screen allows.
    const QList<int> split = OpeningSplit();
    MainSplitter->setSizes(split);
    ResizeForOpening(*this, {std::max(kDesignedWidth, split[0] + MainSplitter->handleWidth() + split[1]), kDesignedHeight});

    views_.Dispatcher = &dispatcher_;
    views_.Main = this;
    PortSource = &SystemSerialPorts;

    LoadSettings();

    HdwErrTimer = new QTimer(this);
    HdwErrTimer->setObjectName("HdwErrTimer");
    HdwErrTimer->setInterval(kHdwErrIntervalMs);
    connect(HdwErrTimer, &QTimer::timeout, this, &TForm1::HdwErrTimerTimer);
    HdwErrTimer->start();
    repaints_ = new RepaintPacer(this, kRepaintIntervalMs);
}

TForm1::~TForm1() = default;

void TForm1::BuildTopPanel() {
    TopPanel = new QWidget(this);
    TopPanel->setObjectName("TopPanel");
    auto* row = new QHBoxLayout(TopPanel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);

    PollButton = MakeButton(TopPanel, "PollButton", "Опрос", true);
    FuelButton = MakeButton(TopPanel, "FuelButton", "Налив", true);
    TRK_CfgButton = MakeButton(TopPanel, "TRK_CfgButton", "Настройки", false);
    FlowmeterButton = MakeButton(TopPanel, "FlowmeterButton", "Расходомеры", true);
    SellTestButton = MakeButton(TopPanel, "SellTestButton", "Тест продаж", false);
    TestTabloButton = MakeButton(TopPanel, "TestTabloButton", "Тест табло", false);
    TestTabloManualButton = MakeButton(TopPanel, "TestTabloManualButton", "...", false);
    TestMcuPinsButton = MakeButton(TopPanel, "TestMcuPinsButton", "Тест ног процессора...", false);
    TabloButton = MakeButton(TopPanel, "TabloButton", "Табло", true);
    SdExploreButton = MakeButton(TopPanel, "SdExploreButton", "SD Card...", false);
    ClrMemButton = MakeButton(TopPanel, "ClrMemButton", "ClrMem", false);
    ReadMemButton = MakeButton(TopPanel, "ReadMemButton", "ReadMem", false);
    TestTabloManualButton->setMaximumWidth(TestTabloManualButton->fontMetrics().horizontalAdvance("...") + 16);
    for (QPushButton* b : {PollButton, FuelButton, TRK_CfgButton, FlowmeterButton, SellTestButton, TestTabloButton,
                           TestTabloManualButton, TestMcuPinsButton, TabloButton, SdExploreButton, ClrMemButton,
                           ReadMemButton})
        row->addWidget(b);
    // Service buttons for the factory; nothing in the window shows them.
    for (QPushButton* b : {SdExploreButton, ClrMemButton, ReadMemButton}) b->hide();
    row->addStretch(1);

    ChangeAddrLabel = new QLabel("Новый адрес : ", TopPanel);
    ChangeAddrLabel->setObjectName("ChangeAddrLabel");
    ChangeAddrEdit = new QLineEdit(TopPanel);
    ChangeAddrEdit->setObjectName("ChangeAddrEdit");
    ChangeAddrEdit->setMaximumWidth(40);
    ChangeAddrButton = MakeButton(TopPanel, "ChangeAddrButton", "W", false);
    ChangeAddrButton->setToolTip("Записать новый адрес в контроллер ТРК");
    ChangeAddrButton->setMaximumWidth(ChangeAddrButton->fontMetrics().horizontalAdvance("W") + 16);
    row->addWidget(ChangeAddrLabel);
    row->addWidget(ChangeAddrEdit);
    row->addWidget(ChangeAddrButton);

    connect(PollButton, &QPushButton::clicked, this, &TForm1::PollButtonClick);
    connect(FuelButton, &QPushButton::clicked, this, [this](bool down) { WindowButtonClick(0, down); });
    connect(FlowmeterButton, &QPushButton::clicked, this, [this](bool down) { WindowButtonClick(1, down); });
    connect(TabloButton, &QPushButton::clicked, this, [this](bool down) { WindowButtonClick(2, down); });
    connect(TRK_CfgButton, &QPushButton::clicked, this, &TForm1::TRK_CfgButtonClick);
    connect(SellTestButton, &QPushButton::clicked, this, &TForm1::SellTestButtonClick);
    connect(TestTabloButton, &QPushButton::clicked, this, &TForm1::TestTabloButtonClick);
    connect(TestTabloManualButton, &QPushButton::clicked, this, &TForm1::TestTabloManualButtonClick);
    connect(TestMcuPinsButton, &QPushButton::clicked, this, &TForm1::TestMcuPinsButtonClick);
    connect(SdExploreButton, &QPushButton::clicked, this, &TForm1::SdExploreButtonClick);
    connect(ClrMemButton, &QPushButton::clicked, this, &TForm1::ClrMemButtonClick);
    connect(ReadMemButton, &QPushButton::clicked, this, &TForm1::ReadMemButtonClick);
    connect(ChangeAddrButton, &QPushButton::clicked, this, &TForm1::ChangeAddrButtonClick);
}

void TForm1::BuildViews() {
    MainSplitter = new QSplitter(Qt::Horizontal, this);
    MainSplitter->setObjectName("MainSplitter");
    MainSplitter->setChildrenCollapsible(false);

    TRK_StatusListView = new ReportView(MainSplitter);
    TRK_StatusListView->setObjectName("TRK_StatusListView");
    TRK_StatusListView->setIconSize(QSize(2 * kIconSize, kIconSize));
    TRK_StatusListView->SetCatalog(kTrkStatusCatalog);
    connect(TRK_StatusListView, &ReportView::MouseMovedOverRow, this, &TForm1::TRK_StatusListViewMouseMove);

    MainPanel = new QWidget(MainSplitter);
    MainPanel->setObjectName("MainPanel");
    auto* panel = new QVBoxLayout(MainPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(0);
    ChStatusListView = new ReportView(MainPanel);
    ChStatusListView->setObjectName("ChStatusListView");
    ChStatusListView->setIconSize(QSize(kIconSize, kIconSize));
    ChStatusListView->SetCatalog(kChStatusCatalog);
    ValveListView = new ReportView(MainPanel);
    ValveListView->setObjectName("ValveListView");
    ValveListView->SetCatalog(kValveCatalog);
    ValveListView->setFixedHeight(90);
    panel->addWidget(ChStatusListView, 1);
    panel->addWidget(ValveListView);

    MainSplitter->addWidget(TRK_StatusListView);
    MainSplitter->addWidget(MainPanel);
    MainSplitter->setStretchFactor(1, 1);
    trkColumns_ = new ColumnFitter(TRK_StatusListView, 1);
    chColumns_ = new ColumnFitter(ChStatusListView, 1);
    valveColumns_ = new ColumnFitter(ValveListView, 1);
}

QList<int> TForm1::OpeningSplit() const {
    // Each view opens with room for its captions and values: the left one for the MD5, the
    // channel view for five channels.
    const int cellMargins = 2 * (TRK_StatusListView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const int md5 = TRK_StatusListView->fontMetrics().horizontalAdvance(kWidestTrkValue) + cellMargins;
    constexpr int c = kChannelColumnWidth;
    return {OpeningViewWidth(*TRK_StatusListView, {md5}), OpeningViewWidth(*ChStatusListView, {c, c, c, c, c})};
}

void TForm1::BuildStatusBar() {
    MainStatusBar = new StatusPanelBar({{"ttyS0", 50}, {"9600", 80}, {"Адрес: 1", 90}, {"OK", 300}, {"OK", 50}}, this);
    MainStatusBar->setObjectName("MainStatusBar");
    connect(MainStatusBar, &StatusPanelBar::PanelClicked, this, &TForm1::MainStatusBarMouseDown);
    connect(MainStatusBar, &StatusPanelBar::Resized, this, &TForm1::PlaceStatusEditors);
    // A newcomer cannot guess that the link panels are buttons.
    // The port panel shows a stored adapter by today's tty name; its tip names the stable link too.
    MainStatusBar->SetPanelToolTipSource(kPortPanel, [this] {
        const std::string name = PortPanelText();
        const std::string stable = StablePortPath(name);
        const std::string shown = stable.empty() || stable == name ? name : name + " = " + stable;
        return Q(shown + "\nЩелчок: выбрать последовательный порт");
    });
    for (int panel : {kPortPanel, kRatePanel, kAddrPanel}) MainStatusBar->SetPanelWidest(panel, kWidestLinkPanel);
    MainStatusBar->SetPanelToolTip(kRatePanel, "Щелчок: выбрать скорость обмена; контроллер переводится на неё же (кроме перехода на 4800 VRX 2.0 и обратно)");
    MainStatusBar->SetPanelToolTip(kAddrPanel, "Щелчок: ввести сетевой адрес контроллера");
    // The progress shows one exchange; its tip the figures of the whole poll so far, made when
    // it shows (the figures are locked, so the worker may go on meanwhile).
    MainStatusBar->SetPanelToolTipSource(kStatePanel, [] {
        const std::string network = ComPort.Statistics.NetworkAllowanceText();
        return Q((network.empty() ? "" : network + "\n") + LinkSummaryText(ComPort.Statistics.Snapshot(), "\n")).trimmed();
    });

    ComPortEdit = new QLineEdit(MainStatusBar);
    ComPortEdit->setObjectName("ComPortEdit");
    ComPortEdit->hide();
    ComPortEdit->installEventFilter(this);
    DevAddrEdit = new QLineEdit(MainStatusBar);
    DevAddrEdit->setObjectName("DevAddrEdit");
    DevAddrEdit->hide();
    DevAddrEdit->installEventFilter(this);

    MainPopupMenu = new QMenu(this);
    MainPopupMenu->setObjectName("MainPopupMenu");
    BaudPopupMenu = new QMenu(this);
    BaudPopupMenu->setObjectName("BaudPopupMenu");
    for (const BitRateItem& item : kBitRateMenu) {
        QAction* action = BaudPopupMenu->addAction(Q(item.caption));
        action->setData(item.rate);
        const int rate = item.rate;
        connect(action, &QAction::triggered, this, [this, rate] { BaudPopupMenuClick(rate); });
    }
}

void TForm1::BuildServiceMenu() {
    // The factory's buttons stay hidden; the SD card explorer is reached through this menu, which
    // a right click anywhere on the button row opens, or through its shortcut; so are the
    // settings of the controller kept, compared, written back and recorded.
    ServiceMenu = new QMenu("Сервис", this);
    ServiceMenu->setObjectName("ServiceMenu");
    QAction* sd = ServiceMenu->addAction(SdExploreButton->text());
    sd->setObjectName("SdExploreAction");
    sd->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    sd->setShortcutContext(Qt::WindowShortcut);
    addAction(sd);  // the shortcut works with the menu closed
    connect(sd, &QAction::triggered, this, &TForm1::SdExploreButtonClick);
    ServiceMenu->addSeparator();
    const auto add = [this](const char* name, const char* text) {
        QAction* action = ServiceMenu->addAction(Q(text));
        action->setObjectName(Q(name));
        return action;
    };
    SaveSettingsAction = add("SaveSettingsAction", kSaveSettingsText);
    CompareSettingsAction = add("CompareSettingsAction", kCompareSettingsText);
    RestoreSettingsAction = add("RestoreSettingsAction", kRestoreSettingsText);
    ReportAction = add("ReportAction", kReportText);
    StopSettingsAction = add("StopSettingsAction", kStopSettingsText);
    TopPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TopPanel, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { ServiceMenu->popup(TopPanel->mapToGlobal(pos)); });
    const QString hint = "Правая кнопка мыши на ряду кнопок: меню «Сервис» (" + sd->text() + " " +
                         sd->shortcut().toString(QKeySequence::NativeText) + ")";
    TopPanel->setToolTip(hint);
    TestMcuPinsButton->setToolTip(hint);
}

void TForm1::AttachDialogs(const TDialogWindows& dialogs, const TViews& views) {
    dialogs_ = dialogs;
    views_ = views;
    views_.Dispatcher = &dispatcher_;
    views_.Main = this;
    // A group window that closes raises its own button.
    const auto buttons = WindowButtons();
    const auto windows = GroupWindows();
    for (size_t i = 0; i < windows.size(); ++i)
        if (windows[i]) connect(windows[i], &ToolWindow::Closed, buttons[i], [b = buttons[i]] { b->setChecked(false); });
}

std::array<QPushButton*, 3> TForm1::WindowButtons() const { return {FuelButton, FlowmeterButton, TabloButton}; }
std::array<ToolWindow*, 3> TForm1::GroupWindows() const { return {dialogs_.Fuel, dialogs_.Flowmeter, dialogs_.Tablo}; }

// ---- settings

void TForm1::LoadSettings() { ShowLinkSettings(LoadLinkSettings(settings_)); }

void TForm1::ShowLinkSettings(const LinkSettings& s) {
    // An adapter remembered by its stable link shows under the tty name it has today.
    MainStatusBar->SetPanelText(kPortPanel, Q(ShortPortName(s.port)));
    state_.BaudRate = s.baudRate;
    state_.DevAddr = s.devAddr;
    ComPort.ExtraTimeoutMs = s.extraTimeoutMs;
    ChangeAddrEdit->setText(QString::number(s.devAddr));
    ShowLinkPanels();
}

void TForm1::ShowLinkPanels() {
    MainStatusBar->SetPanelText(kRatePanel, Q(BitRatePanelText(state_.BaudRate)));
    MainStatusBar->SetPanelText(kAddrPanel, Q(AddressPanelText(state_.BaudRate, state_.DevAddr)));
}

void TForm1::SaveSetting(std::string_view key, const std::string& value) {
    // Losing a setting silently would bring the old port or address back at the next start.
    if (!settings_.WriteString(kPortSection, key, value))
        SetErrorText("Не могу сохранить настройки в " + settings_.Path());
}

void TForm1::SetComPort(const std::string& name) {
    MainStatusBar->SetPanelText(kPortPanel, Q(name));
    // An adapter is remembered by its stable link, so it is found again as another ttyUSB.
    const std::string stable = StablePortPath(name);
    SaveSetting(kLastPortKey, stable.empty() ? name : stable);
    if (WorkerRunning) {
        WaitForWorkerEnd();
        StartPoll();
    } else {
        CheckComPort();
    }
}

void TForm1::CheckComPort() {
    // Connecting to a converter takes a network's time: a worker tries it, never the window.
    if (!OpensAtOnce(PortPanelText())) {
        RunOperation(&ReportPortOpened);
        return;
    }
    TECOMPort probe;
    probe.PortName = PortPanelText();
    const bool opened = probe.Open() == 0;
    SetStatusText(probe.ResultText);
    // Why it failed goes beside, into the message panel; a port that opens takes its reason away.
    if (!opened) SetErrorText(probe.OpenFailureReason);
    else if (!shownOpenFailure_.empty() && message_ == shownOpenFailure_)
        SetErrorText("OK");
    shownOpenFailure_ = probe.OpenFailureReason;
    if (opened) probe.Close();
}

void TForm1::SetBaudRate(int rate) {
    state_.BaudRate = rate;
    ShowLinkPanels();
    SaveSetting(kBaudRateKey, std::to_string(rate));
}

void TForm1::SetDevAddr(uint8_t address) {
    if (address == 0 || address == 255) return;
    state_.DevAddr = address;
    ShowLinkPanels();
    SaveSetting(kDevAddrKey, std::to_string(address));
}

int TForm1::EnumComPorts(std::vector<PortEntry>& ports) {
    ports = SortedPortList(PortSource ? PortSource() : std::vector<PortEntry>{});
    return int(ports.size());
}

std::vector<PortEntry> SystemSerialPorts() {
    std::vector<PortEntry> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const std::string name = info.portName().toStdString();
        const std::string description = info.description().toStdString();
        const std::string manufacturer = info.manufacturer().toStdString();
        found.push_back({name, FriendlyPortName(description, manufacturer, name),
                         PortDetails(description, manufacturer, info.serialNumber().toStdString())});
    }
    return found;
}

// ---- start rule and jobs

void TForm1::RunOperation(Op op, const std::function<void(TComThread&)>& stage) {
    if (!op) return;
    StartOperation(views_, PortPanelText(), state_.BaudRate, op, stage);
}

TComThread* TForm1::CreateComThread() {
    return ::CreateComThread(views_, PortPanelText(), state_.BaudRate);
}

void TForm1::StartJob(Op op, const std::function<void()>& showRunning) {
    TComThread* w = CreateComThread();
    w->HandOver(op);
    if (showRunning) showRunning();
    w->Start();
}

void TForm1::DoJobAction(JobAction action, Op op, const std::function<void()>& showRunning) {
    if (action == JobAction::Stop) CurrentWorker->Terminate();
    // A job whose operation is not available yet starts nothing.
    if (action == JobAction::Start && op) StartJob(op, showRunning);
}

void TForm1::StartPoll() {
    StartJob(Jobs.Poll, [this] {
        SellTestButton->setEnabled(false);
        // Also after a port change, so that one press of the toggle stops the poll it shows.
        PollButton->setChecked(true);
    });
}

void TForm1::PollButtonClick(bool down) {
    const JobAction action = PollButtonAction(down, WorkerRunning);
    // The poll starts even before its operation exists: the worker then ends at once and releases the button.
    if (action == JobAction::Start) StartPoll();
    else DoJobAction(action, nullptr, {});
}

void TForm1::SellTestButtonClick() {
    DoJobAction(StopOrStartAction(WorkerRunning), Jobs.SellTest, [this] {
        SellTestButton->setText("Прекратить");
        PollButton->setEnabled(false);
    });
}

void TForm1::TestTabloButtonClick() { RunOperation(Jobs.TabloTest); }

void TForm1::ClrMemButtonClick() { DoJobAction(StartWhenIdleAction(WorkerRunning), Jobs.ClearMemory, {}); }

void TForm1::ReadMemButtonClick() {
    DoJobAction(StopOrStartAction(WorkerRunning), Jobs.ReadMemory, [this] { ReadMemButton->setText("СТОП"); });
}

void TForm1::WindowButtonClick(int index, bool down) {
    const auto buttons = WindowButtons();
    std::array<bool, 3> states{};
    for (size_t i = 0; i < buttons.size(); ++i) states[i] = buttons[i]->isChecked();
    states = WindowGroupAfter(states, index, down);
    // Raising the others leaves their windows open.
    for (size_t i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(states[i]);
    ToolWindow* window = GroupWindows()[size_t(index)];
    if (!window) return;
    if (down) {
        window->show();
        window->raise();
    } else {
        window->close();
    }
}

void TForm1::TRK_CfgButtonClick() {
    if (!dialogs_.TRK_Cfg) return;
    dialogs_.TRK_Cfg->show();
    dialogs_.TRK_Cfg->raise();
}

void TForm1::TestTabloManualButtonClick() {
    if (dialogs_.TestTabloManual) dialogs_.TestTabloManual->exec();
}
void TForm1::TestMcuPinsButtonClick() {
    if (dialogs_.TestMcuPins) dialogs_.TestMcuPins->exec();
}
void TForm1::SdExploreButtonClick() {
    if (dialogs_.SdExplorer) dialogs_.SdExplorer->exec();
}

// ---- status bar and link controls

void TForm1::MainStatusBarMouseDown(int panel, QPoint globalPos) {
    // The link settings must not change under a running worker.
    if (WorkerRunning) return;
    if (panel == kPortPanel) {
        MainPopupMenu->clear();
        std::vector<PortEntry> ports;
        if (EnumComPorts(ports) == 0) {
            ShowEditorOver(ComPortEdit, MainStatusBar->PanelText(kPortPanel));
            return;
        }
        // The port in use is listed even when the system does not list it (a pty, a typed path).
        const std::string current = PortPanelText();
        for (const PortEntry& port : WithPortInUse(std::move(ports), current)) {
            QAction* action = MainPopupMenu->addAction(Q(PortMenuText(port)));
            action->setData(Q(port.name));
            action->setCheckable(true);
            action->setChecked(port.name == current);
            const std::string name = port.name;
            connect(action, &QAction::triggered, this, [this, name] { SetComPort(name); });
        }
        MainPopupMenu->addSeparator();
        QAction* other = MainPopupMenu->addAction("Другой порт...");
        other->setObjectName("OtherPortAction");
        connect(other, &QAction::triggered, this, [this] { ShowEditorOver(ComPortEdit, MainStatusBar->PanelText(kPortPanel)); });
        RunOperation(&ProbePorts);
        MainPopupMenu->popup(globalPos);
    } else if (panel == kRatePanel) {
        BaudPopupMenu->popup(globalPos);
    } else if (panel == kAddrPanel) {
        ShowEditorOver(DevAddrEdit, QString::number(state_.DevAddr));
    }
}

void TForm1::ShowEditorOver(QLineEdit* editor, const QString& text) {
    PlaceStatusEditors();
    editor->setText(text);
    editor->show();
    editor->raise();
    editor->setFocus();
    editor->end(false);
}

void TForm1::PlaceStatusEditors() {
    ComPortEdit->setGeometry(MainStatusBar->PanelRect(kPortPanel));
    DevAddrEdit->setGeometry(MainStatusBar->PanelRect(kAddrPanel));
}

void TForm1::BaudPopupMenuClick(int rate) {
    state_.NewBaudRate = rate;
    if (BitRateChangeIsSent(state_.BaudRate, rate))
        RunOperation(Jobs.WriteBitRate, [rate](TComThread& w) { w.NewBitRate = rate; });
    SetBaudRate(rate);
}

void TForm1::ChangeAddrButtonClick() {
    const NewAddressCheck check = CheckNewBusAddress(ChangeAddrEdit->text().toStdString(), state_.BaudRate);
    if (!check.error.empty()) {
        SetErrorText(check.error);
        return;
    }
    const auto address = uint8_t(check.value);
    RunOperation(Jobs.WriteBusAddress, [address](TComThread& w) { w.NewAddress = address; });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const bool isKey = event->type() == QEvent::KeyPress;
    const int key = isKey ? static_cast<QKeyEvent*>(event)->key() : 0;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == ComPortEdit && enter) {
        // The typed name is taken as it stands: with no port found there is nothing to check it against.
        ComPortEdit->hide();
        SetComPort(ComPortEdit->text().toStdString());
        return true;
    }
    if (watched == DevAddrEdit) {
        if (event->type() == QEvent::FocusOut || key == Qt::Key_Escape) {
            DevAddrEdit->hide();
            return key == Qt::Key_Escape;
        }
        if (enter) {
            DevAddrEdit->hide();
            if (const auto address = AcceptedDevAddr(DevAddrEdit->text().toStdString())) {
                SetDevAddr(*address);
                ChangeAddrEdit->setText(QString::number(*address));
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceStatusEditors();
}

WindowLayout TForm1::CurrentWindowLayout() const {
    std::vector<int> splitter;
    for (int w : MainSplitter->sizes()) splitter.push_back(w);
    return {saveGeometry().toBase64().toStdString(), splitter, trkColumns_->Preferred(), chColumns_->Preferred(),
            valveColumns_->Preferred()};
}

bool TForm1::RestoreWindowLayout() {
    const WindowLayout saved = LoadWindowLayout(settings_);
    const bool placed = !saved.geometry.empty() && restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(saved.geometry)));
    // The splitter shares out its own width: it must have the restored one first.
    if (placed && layout()) layout()->activate();
    if (saved.splitter.size() == 2) MainSplitter->setSizes({saved.splitter[0], saved.splitter[1]});
    if (int(saved.trkColumns.size()) == TRK_StatusListView->columnCount()) trkColumns_->SetPreferred(saved.trkColumns);
    if (!saved.chColumns.empty()) chColumns_->SetPreferred(saved.chColumns);
    if (int(saved.valveColumns.size()) == ValveListView->columnCount()) valveColumns_->SetPreferred(saved.valveColumns);
    const auto takeBaseline = [this] {
        layoutBaseline_ = CurrentWindowLayout();
        sizeBaseline_ = size();
    };
    takeBaseline();
    // Once shown, the window settles its splitter to its real width: a change counts from there.
    QTimer::singleShot(0, this, takeBaseline);
    layoutRestored_ = true;
    return placed;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The worker's display steps reach this window: it must be gone before the window is.
    WaitForWorkerEnd();
    // Only a layout the engineer changed is written: a first run leaves no file behind. Where
    // the window manager put the window alone does not count, it differs from run to run.
    if (layoutRestored_) {
        WindowLayout now = CurrentWindowLayout();
        WindowLayout then = layoutBaseline_;
        then.geometry = now.geometry;
        if (now != then || size() != sizeBaseline_) SaveWindowLayout(settings_, now);
    }
    QWidget::closeEvent(event);
    emit Closed();
}

void TForm1::HdwErrTimerTimer() {
    blink_.EditHoldOff = state_.EditHoldOff;
    const std::string title = HdwErrTick(blink_, state_.HdwErrCode, state_.TimeErrCode);
    state_.EditHoldOff = blink_.EditHoldOff;
    setWindowTitle(Q(title));
    ShowMessagePanel();
}

void TForm1::TRK_StatusListViewMouseMove(int row, QPoint globalPos) {
    if (row < 0) return;
    const std::string_view hint = HintOfRow(kTrkStatusCatalog, row);
    TRK_StatusListView->ShowHint(QString::fromUtf8(hint.data(), qsizetype(hint.size())), globalPos);
}

// ---- panels and buttons given back by the worker

std::string TForm1::PortPanelText() { return MainStatusBar->PanelText(kPortPanel).toStdString(); }
void TForm1::SetStatusText(const std::string& text) {
    MainStatusBar->SetPanelText(kStatePanel, Q(text));
    MainStatusBar->RefreshPanelToolTip(kStatePanel);
}
void TForm1::SetErrorText(const std::string& text) {
    message_ = text;
    ShowMessagePanel();
}

void TForm1::ShowStandingMessage(const std::string& text) {
    standingMessage_ = text;
    SetErrorText(text);
}

void TForm1::ShowMessagePanel() {
    // Every status update rewrites the panel, mostly with nothing: a standing message stays
    // until something else is to be said there.
    const std::string& shown = message_.empty() ? standingMessage_ : message_;
    MainStatusBar->SetPanelText(kMessagePanel, Q(MessagePanelText(shown, state_.HdwErrCode, state_.TimeErrCode)));
}

void TForm1::ReleasePollButton() {
    PollButton->setEnabled(true);
    PollButton->setChecked(false);
}
void TForm1::SetSellTestButton(const std::string& caption, bool enabled) {
    SellTestButton->setText(Q(caption));
    SellTestButton->setEnabled(enabled);
}
void TForm1::SetTestTabloButtonEnabled(bool enabled) { TestTabloButton->setEnabled(enabled); }
void TForm1::SetReadMemButtonCaption(const std::string& caption) { ReadMemButton->setText(Q(caption)); }

void TForm1::ShowJobProgress(uint64_t done, uint64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (total == 0) {
        JobProgressBar->hide();
        return;
    }
    if (JobProgressBar->isHidden()) {
        progressStart_ = now;
        JobProgressBar->show();
    }
    // Per mille, so that the range fits an int for any total.
    JobProgressBar->setRange(0, 1000);
    JobProgressBar->setValue(int(std::min(done, total) * 1000 / total));
    const auto elapsedMs = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now - progressStart_).count());
    JobProgressBar->setFormat(Q(JobProgressText(done, total, elapsedMs)));
}

// The port items: the ones that carry a port name (not the separator, not "Другой порт...").
static QList<QAction*> PortActions(const QMenu& menu) {
    QList<QAction*> ports;
    for (QAction* action : menu.actions())
        if (action->data().isValid()) ports.push_back(action);
    return ports;
}
std::vector<std::string> TForm1::PortMenuNames() {
    std::vector<std::string> names;
    for (QAction* action : PortActions(*MainPopupMenu)) names.push_back(action->data().toString().toStdString());
    return names;
}
void TForm1::MarkPortBusy(int item) {
    const auto actions = PortActions(*MainPopupMenu);
    if (item < 0 || item >= actions.size()) return;
    actions[item]->setText(Q(BusyPortCaption(actions[item]->text().toStdString())));
}
void TForm1::PopupPortMenu(int x, int y) { MainPopupMenu->popup(QPoint(x, y)); }

// ---- status views

void TForm1::SetTrkStatus(int row, int column, const std::string& text) {
    if (row < 0 || row >= TRK_StatusListView->RowCount() || column < 0) return;
    TRK_StatusListView->PadCells(row, column + 1);
    TRK_StatusListView->SetCellText(row, column, Q(text));
}

void TForm1::SetTrkStatusImage(int row, int column, int image) {
    if (row < 0 || row >= TRK_StatusListView->RowCount() || column < 0) return;
    TRK_StatusListView->PadCells(row, column + 1);
    const bool known = image >= 0 && image < int(doorImages_.size());
    TRK_StatusListView->SetCellImage(row, column, known ? doorImages_[size_t(image)] : QPixmap());
}

void TForm1::SetChStatus(int row, int channel, const std::string& text) {
    ChStatusListView->SetCellText(row, channel, Q(text));
}

void TForm1::SetChStatusImage(int row, int channel, int image) {
    const bool known = image >= 0 && image < int(chImages_.size());
    ChStatusListView->SetCellImage(row, channel, known ? chImages_[size_t(image)] : QPixmap());
}

void TForm1::SetValveStatus(int row, int column, const std::string& text) {
    ValveListView->SetCellText(row, column, Q(text));
}

void TForm1::SetChannelCount(int count) {
    // The count comes from the controller; a view can show no more channels than it has.
    const int n = std::clamp(count, 0, kChannelCount);
    ReportView* view = ChStatusListView;
    while (view->ColumnCount() < n + 1) {
        const int column = view->ColumnCount();
        view->AppendColumn("Канал " + QString::number(column), kChannelColumnWidth);
    }
    while (view->ColumnCount() > n + 1) view->RemoveLastColumn();
    if (view->width() < kChCaptionWidth + kChannelColumnWidth * n)
        view->resize(kChCaptionWidth + kChannelColumnWidth * n, view->height());
    for (int row = 0; row < view->RowCount(); ++row) view->PadCells(row, n);
    emit ChannelCountChanged(n);
}

void TForm1::SetSubTrkCount(int count) {
    if (count < 0 || count > 2) return;
    ReportView* view = ValveListView;
    while (view->RowCount() < count + 2) {
        const int row = view->RowCount();
        view->AppendRow("Снижение СубКонтр" + QString::number(row));
        // Reductions are written into these rows as into the designed ones.
        view->PadCells(row, kValveCatalog.designedCells);
    }
    while (view->RowCount() > count + 2) view->RemoveLastRow();
}

void TForm1::SetDoorSensors(uint8_t bits) {
    const QPixmap& picture = pictures_.Door(bits);
    if (doorImages_.empty()) doorImages_.push_back(picture);
    else doorImages_[Images::DoorSensors] = picture;
    SetTrkStatusImage(TrkRow::DoorSensors, 0, Images::DoorSensors);
}

void TForm1::DrawNozzleColour(int channel, int kind) {
    if (channel < 0 || channel >= kChannelCount || (kind != 0 && kind != 1)) return;
    const uint32_t colour = kind == 1 ? state_.RestingNozzleColour[size_t(channel)]
                                      : state_.LiftedNozzleColour[size_t(channel)];
    const int index = SwatchImageIndex(channel, kind);
    chImages_[size_t(index)] = pictures_.Swatch(colour);
    SetChStatusImage(kind == 1 ? ChRow::RestingColour : ChRow::LiftedColour, channel, index);
}

int TForm1::ChannelColumnCount() { return ChStatusListView->ColumnCount() - 1; }

void TForm1::ShowFuelName(int channel) {
    if (channel < 0 || channel >= kChannelCount || channel >= ChannelColumnCount()) return;
    SetChStatus(ChRow::FuelName, channel, state_.FuelNames[size_t(channel)]);
}
