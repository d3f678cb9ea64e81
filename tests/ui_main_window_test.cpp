// The main window under Qt offscreen: start-up from the settings file, the status bar and
// its editors, the address and bit-rate controls against the simulator, and the setters.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidgetItem>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "commands/ChannelState.h"
#include "engine/ComThreadUnit.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/SimHarness.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/AppWindows.h"
#include "ui/main/StatusImages.h"
#include "ui/main/StatusPanelBar.h"
#include "ui/main/StatusRows.h"
#include "ui/widgets/RepaintPacer.h"
#include "ui/widgets/ReportView.h"

namespace fs = std::filesystem;

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_main_window_test"));

void App() { ASSERT_NE(QCoreApplication::instance(), nullptr); }

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) { return WaitForUi(done, timeoutMs); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        char pattern[] = "/tmp/ornix-window-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        ini_ = dir_ + "/ornix-tester.ini";
    }
    void TearDown() override {
        windows_.reset();
        fs::remove_all(dir_);
    }
    void WriteIni(const std::string& text) { std::ofstream(ini_) << text; }
    std::string ReadIni() const {
        std::ifstream in(ini_);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    TForm1& Open() {
        windows_ = std::make_unique<TAppWindows>(ini_);
        windows_->Form1.show();
        return windows_->Form1;
    }
    TForm1& Form() { return windows_->Form1; }
    QString Panel(int i) { return Form().MainStatusBar->PanelText(i); }

    void ClickStatusBar(int x) {
        StatusPanelBar* bar = Form().MainStatusBar;
        const QPointF at(x, bar->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &press);
    }
    static void Key(QWidget* w, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
    }
    static void Type(QLineEdit* edit, const QString& text, int key = Qt::Key_Return) {
        edit->setText(text);
        Key(edit, key);
    }
    void PickBitRate(int rate) {
        for (QAction* a : Form().BaudPopupMenu->actions())
            if (a->data().toInt() == rate) a->trigger();
    }
    bool WorkerEnds() { return WaitUntil([] { return !WorkerRunning.load(); }); }
    // A controller that never answers keeps a single operation running for its whole time-out.
    static std::unique_ptr<SimHarness> SilentSim() {
        SimConfig silent;
        silent.Faults.DropPercent = 100;
        return std::make_unique<SimHarness>(silent);
    }

    std::string dir_, ini_;
    std::unique_ptr<TAppWindows> windows_;
};

TEST_F(MainWindowTest, FirstStartWithoutFileShowsDefaultsAndWritesNothing) {
    TForm1& f = Open();
    EXPECT_EQ(Panel(0), "ttyS0");
    EXPECT_EQ(Panel(1), "9600");
    EXPECT_EQ(Panel(2), "Адрес: 1");
    EXPECT_EQ(Panel(3), "OK");
    EXPECT_EQ(Panel(4), "OK");
    EXPECT_EQ(f.ChangeAddrEdit->text(), "1");
    EXPECT_EQ(f.windowTitle(), "Ornix Tester");
    EXPECT_FALSE(WorkerRunning.load());  // nothing talks to the controller before a button is pressed
    EXPECT_FALSE(fs::exists(ini_));
    EXPECT_EQ(f.EditValveRow, -1);
    // The service buttons exist but are never shown; the dialogs stay hidden.
    for (const char* name : {"SdExploreButton", "ClrMemButton", "ReadMemButton"})
        EXPECT_FALSE(f.findChild<QPushButton*>(name)->isVisible()) << name;
    EXPECT_FALSE(windows_->FuelForm.isVisible());
}

TEST_F(MainWindowTest, SettingsFileValuesAtStartAndAt4800) {
    WriteIni("[Port]\nLast Port=pts/77\nBaudRate=4800\nDevAddr=300\n");
    TForm1& f = Open();
    EXPECT_EQ(Panel(0), "pts/77");
    EXPECT_EQ(Panel(1), "4800 VRX 2.0");
    EXPECT_EQ(Panel(2), "Пистолет: 44");
    EXPECT_EQ(f.ChangeAddrEdit->text(), "44");
    EXPECT_EQ(f.State().DevAddr, 44);
}

TEST_F(MainWindowTest, StatusBarClicksOpenTheControlOfTheirPanel) {
    TForm1& f = Open();
    ClickStatusBar(60);  // panel 1
    EXPECT_TRUE(f.BaudPopupMenu->isVisible());
    f.BaudPopupMenu->hide();

    ClickStatusBar(140);  // panel 2
    ASSERT_TRUE(f.DevAddrEdit->isVisible());
    EXPECT_EQ(f.DevAddrEdit->text(), "1");
    Key(f.DevAddrEdit, Qt::Key_Escape);
    EXPECT_FALSE(f.DevAddrEdit->isVisible());

    ClickStatusBar(400);  // panels 3 and 4 do nothing
    ClickStatusBar(f.MainStatusBar->width() - 2);
    EXPECT_FALSE(f.BaudPopupMenu->isVisible());
    EXPECT_FALSE(f.DevAddrEdit->isVisible());
    EXPECT_FALSE(f.ComPortEdit->isVisible());

    // While a worker runs the link settings cannot change.
    WorkerRunning = true;
    ClickStatusBar(140);
    ClickStatusBar(60);
    WorkerRunning = false;
    EXPECT_FALSE(f.DevAddrEdit->isVisible());
    EXPECT_FALSE(f.BaudPopupMenu->isVisible());
}

// The bar keeps each panel's cut text between paints: after new texts, a new width and a new
// font it must still draw exactly what a bar made afresh with them draws.
TEST(StatusPanelBarTest, DrawsWhatANewBarDraws) {
    const QString longText = "Чтение данных расходомеров...Ошибка 13: Неизвестный запрос, и ещё длинный хвост";
    const std::vector<StatusPanelBar::Panel> panels = {{"pts/3", 60}, {"9600", 50}, {"Адрес 1", 70}, {"", 150}, {"", 80}};
    StatusPanelBar bar(panels);
    bar.resize(420, bar.height());
    (void)bar.grab();  // cuts and keeps the first texts
    const auto sameAsNew = [&](const char* step) {
        std::vector<StatusPanelBar::Panel> now = panels;
        for (int i = 0; i < int(now.size()); ++i) now[size_t(i)].text = bar.PanelText(i);
        StatusPanelBar fresh(now);
        fresh.setFont(bar.font());
        fresh.resize(bar.size());
        EXPECT_TRUE(bar.grab().toImage() == fresh.grab().toImage()) << step;
    };
    bar.SetPanelText(3, longText);
    bar.SetPanelText(4, "Ошибка");
    sameAsNew("new texts");
    bar.resize(900, bar.height());
    sameAsNew("wider");
    QFont bigger = bar.font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.5);
    bar.setFont(bigger);
    sameAsNew("bigger font");
}

TEST_F(MainWindowTest, AddressEditorAcceptsOneTo254AndSavesIt) {
    TForm1& f = Open();
    struct Case {
        const char* typed;
        const char* panel;
    };
    const Case cases[] = {{"255", "Адрес: 1"}, {"0", "Адрес: 1"}, {"x", "Адрес: 1"}, {"254", "Адрес: 254"}};
    for (const Case& c : cases) {
        ClickStatusBar(140);
        Type(f.DevAddrEdit, c.typed);
        EXPECT_FALSE(f.DevAddrEdit->isVisible());
        EXPECT_EQ(Panel(2), c.panel) << c.typed;
    }
    EXPECT_EQ(f.ChangeAddrEdit->text(), "254");
    EXPECT_EQ(ReadIni(), "[Port]\nDevAddr=254\n");
}

TEST_F(MainWindowTest, NewAddressOutOfRangeIsRefusedWithItsMessage) {
    WriteIni("[Port]\nLast Port=/nonexistent/port\n");
    TForm1& f = Open();
    struct Case {
        int baud;
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {9600, "128", "Адрес должен быть от 1 до 127"},
        {9600, "0", "Адрес должен быть от 1 до 127"},
        {4800, "226", "Адрес должен быть от 1 до 225"},
    };
    for (const Case& c : cases) {
        f.SetBaudRate(c.baud);
        f.SetErrorText("OK");
        f.ChangeAddrEdit->setText(c.typed);
        f.ChangeAddrButton->click();
        EXPECT_EQ(Panel(4), c.message) << c.typed;
        EXPECT_FALSE(WorkerRunning.load()) << "nothing is sent";
    }
    // 200 is a valid nozzle address at 4800: a worker goes for the port.
    f.ChangeAddrEdit->setText("200");
    f.ChangeAddrButton->click();
    EXPECT_TRUE(WorkerRunning.load());
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(Panel(3), "Не могу открыть /nonexistent/port");
}

class MainWindowSimTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(sim_.Started()) << sim_.Error();
        WriteIni("[Port]\nLast Port=" + sim_.PortName() + "\n");
    }
    SimHarness sim_;
};

TEST_F(MainWindowSimTest, BitRateChangeReachesTheControllerOnlyBetweenOwnRates) {
    Open();
    PickBitRate(19200);
    EXPECT_EQ(Panel(1), "19200");
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(sim_.MainState().BitRate, 19200);

    PickBitRate(4800);  // the tool's own setting only
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_EQ(Panel(1), "4800 VRX 2.0");
    EXPECT_EQ(Panel(2), "Пистолет: 1");
    PickBitRate(9600);
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_EQ(sim_.MainState().BitRate, 19200);
    EXPECT_NE(ReadIni().find("BaudRate=9600\n"), std::string::npos);
}

TEST_F(MainWindowSimTest, ChangeAddrButtonGivesTheControllerItsNewAddress) {
    TForm1& f = Open();
    f.ChangeAddrEdit->setText("17");
    f.ChangeAddrButton->click();
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(sim_.MainState().Address, 17);
    EXPECT_EQ(Panel(2), "Адрес: 17");  // the window follows the controller to its new address
}

TEST_F(MainWindowSimTest, PollFillsTheViewsUntilTheButtonIsReleased) {
    TForm1& f = Open();
    f.PollButton->click();
    EXPECT_TRUE(f.PollButton->isChecked());
    ReportView* v = f.TRK_StatusListView;
    // The last channel's price arrives in the fifth pass, after the identity and settings.
    ASSERT_TRUE(WaitUntil([&] { return !f.ChStatusListView->CellText(ChRow::Price, 4).isEmpty(); }));
    EXPECT_TRUE(WorkerRunning.load());
    f.PollButton->click();
    ASSERT_TRUE(WorkerEnds());
    EXPECT_FALSE(f.PollButton->isChecked());
    EXPECT_TRUE(f.PollButton->isEnabled());
    for (int row : {0, 1, 4, 6, 7}) EXPECT_FALSE(v->CellText(row, 0).isEmpty()) << row;
    EXPECT_FALSE(v->CellImage(TrkRow::DoorSensors, 0).isNull());
    // The progress panel's tip holds the figures of the poll, made when asked for.
    EXPECT_TRUE(f.MainStatusBar->PanelToolTip(3).startsWith("Команда 0: обменов ")) << f.MainStatusBar->PanelToolTip(3).toStdString();
}

TEST_F(MainWindowSimTest, PortChangeChecksTheNewPortAndSavesIt) {
    TForm1& f = Open();
    f.SetComPort("/nonexistent/port");
    EXPECT_EQ(Panel(3), "Не могу открыть /nonexistent/port");
    EXPECT_EQ(Panel(4), "нет такого порта");  // the reason beside it
    EXPECT_EQ(Panel(0), "/nonexistent/port");  // kept and saved anyway
    f.SetComPort(sim_.PortName());
    EXPECT_EQ(Panel(3), "OK");
    EXPECT_EQ(Panel(4), "OK");  // the reason went with the failure
    EXPECT_EQ(ReadIni(), "[Port]\nLast Port=" + sim_.PortName() + "\n");
}

TEST_F(MainWindowSimTest, PortMenuListsSortedPortsAndMarksTheBusyOnes) {
    TForm1& f = Open();
    const std::string simPort = sim_.PortName();
    f.PortSource = [simPort] {
        return std::vector<PortEntry>{{"zz-missing0", "Missing (zz-missing0)"}, {simPort, "Sim (" + simPort + ")"}};
    };
    ClickStatusBar(10);
    ASSERT_TRUE(f.MainPopupMenu->isVisible());
    // The probe's display step waits for this thread, so closing the menu now comes first.
    f.MainPopupMenu->hide();
    ASSERT_TRUE(WorkerEnds());  // the probe ran on a worker of its own
    const auto items = f.MainPopupMenu->actions();
    ASSERT_EQ(items.size(), 4);  // the two ports, a line, "Другой порт..."
    EXPECT_EQ(items[0]->text().toStdString(), "Sim (" + simPort + ")");
    EXPECT_TRUE(items[0]->isChecked());  // the port in use
    EXPECT_EQ(items[1]->text(), "Missing (zz-missing0) (Занят)");
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_EQ(items[3]->text(), "Другой порт...");
    EXPECT_TRUE(f.MainPopupMenu->isVisible());  // reopened because a port was marked
    f.MainPopupMenu->hide();

    // With every port free nothing is marked and the menu is not reopened.
    f.PortSource = [simPort] { return std::vector<PortEntry>{{simPort, "Sim"}}; };
    ClickStatusBar(10);
    f.MainPopupMenu->hide();
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(f.MainPopupMenu->actions()[0]->text(), "Sim");
    EXPECT_FALSE(f.MainPopupMenu->isVisible());
    f.PortSource = [simPort] {
        return std::vector<PortEntry>{{"zz-missing0", "Missing (zz-missing0)"}, {simPort, "Sim (" + simPort + ")"}};
    };
    ClickStatusBar(10);
    f.MainPopupMenu->hide();
    ASSERT_TRUE(WorkerEnds());
    const auto items2 = f.MainPopupMenu->actions();
    ASSERT_EQ(items2.size(), 4);

    items2[0]->trigger();
    EXPECT_EQ(Panel(0).toStdString(), simPort);
    EXPECT_EQ(Panel(3), "OK");

    // The simulator's pty is no system port, yet as the port in use it is listed; any other path
    // is typed after "Другой порт...".
    f.PortSource = [] { return std::vector<PortEntry>{{"ttyS0", "Serial (ttyS0)"}}; };
    ClickStatusBar(10);
    f.MainPopupMenu->hide();
    ASSERT_TRUE(WorkerEnds());
    EXPECT_EQ(f.PortMenuNames(), (std::vector<std::string>{simPort, "ttyS0"}));
    f.MainPopupMenu->actions().back()->trigger();
    ASSERT_TRUE(f.ComPortEdit->isVisible());
    Type(f.ComPortEdit, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(Panel(0), "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    // A long path is cut in its panel and read whole in the panel's tip.
    EXPECT_TRUE(f.MainStatusBar->PanelToolTip(0).startsWith(Panel(0)));
    EXPECT_LE(f.MainStatusBar->PanelWidth(0), 180);
}

// Window, splitter and columns come back as the engineer left them; a run that changed
// nothing writes nothing, and the link settings stay as they were.
TEST_F(MainWindowTest, LayoutIsRememberedWhenChangedOnly) {
    WriteIni("[Port]\nLast Port=ttyUSB0\n");
    TForm1& first = Open();
    first.RestoreWindowLayout();
    first.close();
    EXPECT_EQ(ReadIni(), "[Port]\nLast Port=ttyUSB0\n");

    TForm1& second = Open();
    second.RestoreWindowLayout();
    QCoreApplication::processEvents();  // the event loop starts: the engineer comes after
    second.resize(1300, 820);
    second.MainSplitter->setSizes({520, 780});
    QCoreApplication::processEvents();
    second.close();
    EXPECT_EQ(ReadIni().rfind("[Port]\nLast Port=ttyUSB0\n", 0), 0u) << ReadIni();

    TForm1& third = Open();
    EXPECT_TRUE(third.RestoreWindowLayout());
    QCoreApplication::processEvents();
    EXPECT_EQ(third.size(), QSize(1300, 820));
    EXPECT_EQ(third.MainSplitter->sizes().front(), 520);
    // The wide left view gives its value column the room beyond what the captions need.
    const int viewport = third.TRK_StatusListView->viewport()->width();
    const int captions = third.TRK_StatusListView->ColumnContentWidth(0);
    EXPECT_EQ(third.TRK_StatusListView->columnWidth(0), captions);
    EXPECT_EQ(third.TRK_StatusListView->columnWidth(1), viewport - captions);
}

TEST_F(MainWindowTest, WithoutPortsTheNameIsTypedAndTakenAsItStands) {
    TForm1& f = Open();
    f.PortSource = [] { return std::vector<PortEntry>{}; };
    ClickStatusBar(10);
    ASSERT_TRUE(f.ComPortEdit->isVisible());
    EXPECT_EQ(f.ComPortEdit->text(), "ttyS0");
    Type(f.ComPortEdit, "ttyUSB9", Qt::Key_Escape);  // only Enter ends it
    EXPECT_TRUE(f.ComPortEdit->isVisible());
    Key(f.ComPortEdit, Qt::Key_Return);
    EXPECT_FALSE(f.ComPortEdit->isVisible());
    EXPECT_EQ(Panel(0), "ttyUSB9");
    EXPECT_EQ(Panel(3), "Не могу открыть ttyUSB9");
    EXPECT_EQ(ReadIni(), "[Port]\nLast Port=ttyUSB9\n");
}

TEST_F(MainWindowTest, WindowGroupKeepsAtMostOneButtonDown) {
    TForm1& f = Open();
    f.FuelButton->click();
    EXPECT_TRUE(windows_->FuelForm.isVisible());
    f.FlowmeterButton->click();
    EXPECT_FALSE(f.FuelButton->isChecked());
    EXPECT_TRUE(f.FlowmeterButton->isChecked());
    EXPECT_TRUE(windows_->FuelForm.isVisible());  // raising the button leaves its window open
    EXPECT_TRUE(windows_->FlowmeterForm.isVisible());

    windows_->FlowmeterForm.close();  // a window that closes raises its own button
    EXPECT_FALSE(f.FlowmeterButton->isChecked());
    f.TabloButton->click();
    f.TabloButton->click();
    EXPECT_FALSE(f.TabloButton->isChecked());
    EXPECT_FALSE(windows_->TabloForm.isVisible());
}

TEST_F(MainWindowTest, MinimisedToolWindowKeepsItsButtonDown) {
    TForm1& f = Open();
    f.FuelButton->click();
    ASSERT_TRUE(windows_->FuelForm.isVisible());
    // A window manager that iconifies the dialogs along with the main window.
    windows_->FuelForm.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.FuelButton->isChecked());
    windows_->FuelForm.setWindowState(Qt::WindowNoState);
    windows_->FuelForm.hide();  // hidden by the program: closed
    EXPECT_FALSE(f.FuelButton->isChecked());
}

TEST_F(MainWindowTest, ClosingTheWindowStopsTheRunningWorkerFirst) {
    const auto sim = SilentSim();
    ASSERT_TRUE(sim->Started()) << sim->Error();
    WriteIni("[Port]\nLast Port=" + sim->PortName() + "\n");
    TForm1& f = Open();
    f.ChangeAddrEdit->setText("5");
    f.ChangeAddrButton->click();  // a single operation that waits for an answer in vain
    ASSERT_TRUE(WorkerRunning.load());
    TComThread* running = CurrentWorker;
    f.PollButton->click();  // pressed down while it runs: starts nothing
    EXPECT_EQ(CurrentWorker, running);
    f.close();
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_FALSE(f.PollButton->isChecked());
}

TEST_F(MainWindowTest, PortChangeUnderARunningWorkerRestartsThePollOnTheNewPort) {
    const auto mute = SilentSim();
    SimHarness healthy;
    ASSERT_TRUE(mute->Started() && healthy.Started());
    WriteIni("[Port]\nLast Port=" + mute->PortName() + "\n");
    TForm1& f = Open();
    f.ChangeAddrEdit->setText("5");
    f.ChangeAddrButton->click();
    ASSERT_TRUE(WorkerRunning.load());

    f.SetComPort(healthy.PortName());
    EXPECT_TRUE(WorkerRunning.load());  // the old worker has ended and a poll runs
    EXPECT_TRUE(f.PollButton->isChecked());
    EXPECT_FALSE(f.SellTestButton->isEnabled());
    // Polled on the new port.
    EXPECT_TRUE(WaitUntil([&] { return !f.TRK_StatusListView->CellText(0, 0).isEmpty(); }));
    f.PollButton->click();
    ASSERT_TRUE(WorkerEnds());
}

TEST_F(MainWindowTest, SellTestButtonWhilePollingStopsThePoll) {
    const auto sim = SilentSim();
    ASSERT_TRUE(sim->Started()) << sim->Error();
    WriteIni("[Port]\nLast Port=" + sim->PortName() + "\n");
    TForm1& f = Open();
    f.PollButton->click();
    ASSERT_TRUE(WorkerRunning.load());
    TComThread* poll = CurrentWorker;
    f.SellTestButton->setEnabled(true);
    f.SellTestButton->click();
    EXPECT_TRUE(poll->Terminated());
    EXPECT_EQ(CurrentWorker, poll);  // no sell test started
    EXPECT_EQ(f.SellTestButton->text(), "Тест продаж");
    ASSERT_TRUE(WorkerEnds());
}

TEST_F(MainWindowTest, TimerBlinksHardwareFaultsInTheTitleAndCountsTheHoldOffDown) {
    TForm1& f = Open();
    f.State().HdwErrCode = 1;
    f.State().EditHoldOff = 2;
    const QString fault = QString::fromStdString(TitlePrefix + HardwareFaultText(1));
    ASSERT_TRUE(WaitUntil([&] { return f.windowTitle() == fault; }, 3000));
    ASSERT_TRUE(WaitUntil([&] { return f.windowTitle() == TitlePrefix; }, 3000));
    EXPECT_EQ(f.State().EditHoldOff, 0);
    // The fault is also written in the message panel, and leaves it when it is gone.
    EXPECT_EQ(Panel(4).toStdString(), HardwareFaultText(1));
    f.State().HdwErrCode = 0;
    ASSERT_TRUE(WaitUntil([&] { return Panel(4) == "OK"; }, 3000));
}

// The factory's buttons stay hidden; the explorer is reached through "Сервис" on the button row.
TEST_F(MainWindowTest, ServiceMenuOnTheButtonRowLeadsToTheSdExplorer) {
    TForm1& f = Open();
    for (QPushButton* hidden : {f.SdExploreButton, f.ClrMemButton, f.ReadMemButton}) EXPECT_FALSE(hidden->isVisible());
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), f.PollButton->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(f.PollButton, &click);  // on a button: passed on to the row
    ASSERT_TRUE(f.ServiceMenu->isVisible());
    f.ServiceMenu->hide();
    const QAction* sd = f.ServiceMenu->actions().value(0);
    ASSERT_NE(sd, nullptr);
    EXPECT_EQ(sd->text(), "SD Card...");
    EXPECT_FALSE(sd->shortcut().isEmpty());
    EXPECT_TRUE(f.actions().contains(sd));  // the shortcut works with the menu closed
    EXPECT_TRUE(f.TestMcuPinsButton->toolTip().contains("Сервис"));
}

// The message panel takes room from the progress for a long message; the link panels widen for
// their texts; a text still cut is read whole in its panel's tip.
TEST_F(MainWindowTest, StatusPanelsGiveTheMessageTheRoom) {
    TForm1& f = Open();
    f.resize(1300, 700);  // about the width it opens with on a laptop
    StatusPanelBar* bar = f.MainStatusBar;
    const QString advice = "Контроллер не отвечает: проверьте сетевой адрес и скорость обмена (панели внизу слева)";
    f.SetErrorText(advice.toStdString());
    const int inset = 2 + 6;
    EXPECT_GE(bar->PanelWidth(4), bar->fontMetrics().horizontalAdvance(advice) + inset);
    EXPECT_EQ(bar->PanelToolTip(4), "");
    f.SetComPort("ttyUSB0");
    EXPECT_GE(bar->PanelWidth(0), bar->fontMetrics().horizontalAdvance("ttyUSB0") + inset);
    EXPECT_TRUE(bar->PanelToolTip(0).startsWith("ttyUSB0\n")) << bar->PanelToolTip(0).toStdString();
    f.resize(f.minimumSize());
    f.SetErrorText(advice.toStdString() + advice.toStdString());
    EXPECT_TRUE(bar->PanelToolTip(4).startsWith(advice + advice));
}

TEST(RepaintPacer, DelayFollowsTheLastPaint) {
    const struct {
        int64_t since;
        int delay;
    } cases[] = {{-5, 0}, {0, 16}, {10, 6}, {15, 1}, {16, 0}, {100000, 0}};
    for (const auto& c : cases) EXPECT_EQ(RepaintDelayMs(c.since, 16), c.delay) << c.since;
}

// Changes faster than the interval are painted together, and the last one is painted.
TEST(RepaintPacer, QuickChangesArePaintedTogetherAndTheLastShows) {
    App();
    struct Face : QWidget {
        QString text, painted;
        int paints = 0;
        void paintEvent(QPaintEvent*) override {
            ++paints;
            painted = text;
        }
    } face;
    face.resize(100, 30);
    auto* pacer = new RepaintPacer(&face, 300);
    face.show();
    ASSERT_TRUE(WaitUntil([&] { return face.paints > 0; }));
    QElapsedTimer shown;
    shown.start();
    WaitUntil([&] { return shown.elapsed() >= 350; });  // the first change below is painted at once
    const int before = face.paints;
    for (int i = 1; i <= 20; ++i) {
        face.text = QString::number(i);
        face.update();
        QCoreApplication::processEvents();
    }
    EXPECT_LE(face.paints - before, 2);
    ASSERT_TRUE(WaitUntil([&] { return face.painted == "20"; }, 3000));
    EXPECT_LE(face.paints - before, 3);
    EXPECT_GE(pacer->Paints(), 2);
}

TEST(ReportView, CellsBeyondTheColumnsShowAgainWhenTheirColumnReturns) {
    const ViewColumn columns[] = {{"Параметр", 100}, {"A", 50}, {"B", 50}};
    const ViewRow rows[] = {{kNoGroup, "r0", nullptr}, {kNoGroup, "r1", nullptr}};
    ReportView v;
    v.SetCatalog({columns, {}, rows, 2});
    v.SetCellText(0, 1, "b");
    v.SetCellImage(0, 1, QPixmap::fromImage(StateIcon(Images::RedCross)));
    v.SetCellText(1, 5, "no such cell");
    EXPECT_EQ(v.CellCount(1), 2);

    v.RemoveLastColumn();
    EXPECT_EQ(v.ColumnCount(), 2);
    EXPECT_EQ(v.CellText(0, 1), "b");  // kept while its column is gone
    v.AppendColumn("B again", 60);
    EXPECT_EQ(v.topLevelItem(0)->text(2), "b");
    EXPECT_FALSE(v.topLevelItem(0)->icon(2).isNull());
    EXPECT_EQ(v.ColumnCaption(2), "B again");
    EXPECT_EQ(v.ColumnAt(100 + 50 + 10), 2);
}

TEST_F(MainWindowTest, TrkSetterCreatesCellsOnDemandOnly) {
    TForm1& f = Open();
    ReportView* v = f.TRK_StatusListView;
    EXPECT_EQ(v->CellCount(3), 0);
    f.SetTrkStatus(3, 2, "x");
    EXPECT_EQ(v->CellCount(3), 3);
    EXPECT_EQ(v->CellText(3, 2), "x");
    EXPECT_EQ(v->ColumnCount(), 2);  // still only "Параметр" and "Значение"
    f.SetTrkStatus(39, 0, "beyond");
    f.SetTrkStatus(-1, 0, "before");
    f.SetTrkStatus(0, -1, "left");
    EXPECT_EQ(v->CellCount(0), 0);
}

TEST_F(MainWindowTest, ChannelCellsExistOnlyForCountedChannels) {
    TForm1& f = Open();
    ReportView* v = f.ChStatusListView;
    f.SetChStatus(6, 0, "early");  // before the channel count is known: dropped
    EXPECT_EQ(v->CellText(6, 0), "");

    f.SetChannelCount(2);
    ASSERT_EQ(v->ColumnCount(), 3);
    EXPECT_EQ(v->ColumnCaption(2), "Канал 2");
    f.SetChStatus(6, 1, "1,500");
    f.SetChStatus(6, 2, "beyond");
    EXPECT_EQ(v->CellText(6, 1), "1,500");
    EXPECT_EQ(v->CellCount(6), 2);

    f.SetChannelCount(7);
    ASSERT_EQ(v->ColumnCount(), 8);
    EXPECT_EQ(v->ColumnCaption(3), "Канал 3");
    EXPECT_EQ(v->ColumnCaption(7), "Канал 7");
    f.SetChStatus(6, 6, "7th");
    EXPECT_EQ(v->CellText(6, 6), "7th");

    f.SetChannelCount(1);  // cells beyond the count are kept
    EXPECT_EQ(v->ColumnCount(), 2);
    EXPECT_EQ(v->CellCount(6), 7);
    EXPECT_EQ(f.ChannelColumnCount(), 1);
    f.SetChannelCount(250);  // a wild count from the wire is held to the 15 channels there are
    EXPECT_EQ(v->ColumnCount(), 16);
    EXPECT_EQ(f.ChannelColumnCount(), 15);
}

TEST_F(MainWindowTest, ValveRowsFollowTheSubControllerCount) {
    TForm1& f = Open();
    ReportView* v = f.ValveListView;
    ASSERT_EQ(v->RowCount(), 4);
    f.SetValveStatus(2, 4, "12");
    EXPECT_EQ(v->CellText(2, 4), "12");
    f.SetValveStatus(2, 5, "no such column");
    EXPECT_EQ(v->CellCount(2), 5);

    f.SetSubTrkCount(0);
    EXPECT_EQ(v->RowCount(), 2);
    f.SetSubTrkCount(2);
    ASSERT_EQ(v->RowCount(), 4);
    EXPECT_EQ(v->RowCaption(2), "Снижение СубКонтр2");
    EXPECT_EQ(v->RowCaption(3), "Снижение СубКонтр3");
    f.SetValveStatus(3, 4, "---");  // re-added rows take reductions like the designed ones
    EXPECT_EQ(v->CellText(3, 4), "---");
    f.SetSubTrkCount(3);
    f.SetSubTrkCount(-1);
    EXPECT_EQ(v->RowCount(), 4);
}

TEST_F(MainWindowTest, DoorPictureAndNozzleSwatchesShowInTheirCells) {
    TForm1& f = Open();
    f.SetDoorSensors(2);
    const QImage door = f.TRK_StatusListView->CellImage(TrkRow::DoorSensors, 0).toImage();
    EXPECT_EQ(door.convertToFormat(QImage::Format_ARGB32), DoorSensorPicture(2));
    f.SetDoorSensors(0);  // replaced, not added
    EXPECT_EQ(f.TRK_StatusListView->CellImage(TrkRow::DoorSensors, 0).toImage().convertToFormat(QImage::Format_ARGB32),
              DoorSensorPicture(0));

    f.SetChannelCount(3);
    f.State().LiftedNozzleColour[2] = 0x00FF00;
    f.State().RestingNozzleColour[2] = 0xFFFFFF;
    f.DrawNozzleColour(2, 0);
    f.DrawNozzleColour(2, 1);
    EXPECT_EQ(f.ChStatusListView->CellImage(ChRow::LiftedColour, 2).toImage().convertToFormat(QImage::Format_ARGB32),
              NozzleSwatch(0x00FF00));
    EXPECT_EQ(f.ChStatusListView->CellImage(ChRow::RestingColour, 2).toImage().convertToFormat(QImage::Format_ARGB32),
              NozzleSwatch(0xFFFFFF));
    // State icons and swatches are separate images.
    f.SetChStatusImage(0, 2, Images::GreyCheck);
    EXPECT_EQ(f.ChStatusListView->CellImage(0, 2).toImage().convertToFormat(QImage::Format_ARGB32),
              StateIcon(Images::GreyCheck));
    // The same picture again changes nothing, so the cell is not painted again.
    int changes = 0;
    QObject::connect(f.ChStatusListView->model(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    f.SetChStatusImage(0, 2, Images::GreyCheck);
    EXPECT_EQ(changes, 0);
    f.SetChStatusImage(0, 2, Images::None);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(f.ChStatusListView->CellImage(0, 2).isNull());
    f.DrawNozzleColour(15, 0);  // no such channel: nothing happens
    f.DrawNozzleColour(0, 2);

    f.State().FuelNames[1] = "АИ-95";
    f.State().FuelNames[5] = "ДТ";
    f.ShowFuelName(1);
    f.ShowFuelName(5);  // beyond the three channel columns
    EXPECT_EQ(f.ChStatusListView->CellText(ChRow::FuelName, 1), "АИ-95");
    EXPECT_EQ(f.ChStatusListView->CellCount(ChRow::FuelName), 3);
}

// A shift-long poll sets the same states every pass: after the first, no picture is made,
// no icon set and no cell repainted; a state that flips only takes pictures already made.
TEST_F(MainWindowTest, StatesSetAgainMakeNoPictureAndRepaintNothing) {
    TForm1& f = Open();
    f.SetChannelCount(kChannelCount);
    for (int c = 0; c < kChannelCount; ++c) {
        f.State().LiftedNozzleColour[size_t(c)] = 0x1000u * uint32_t(c + 1);
        f.State().RestingNozzleColour[size_t(c)] = c % 2 ? 0xFFFFFF : 0xFF000000;  // the top byte is not shown
    }
    const auto pass = [&](uint8_t doors) {
        f.SetDoorSensors(doors);
        for (int c = 0; c < kChannelCount; ++c) {
            f.DrawNozzleColour(c, 0);
            f.DrawNozzleColour(c, 1);
            f.SetChStatusImage(0, c, c % 3);
        }
    };
    pass(1);
    const int made = f.Pictures().Made();
    EXPECT_EQ(made, 1 + (kChannelCount + 2) + 3);  // door, swatches (black and white among them), icons
    const qint64 door = f.TRK_StatusListView->CellImage(TrkRow::DoorSensors, 0).cacheKey();
    const qint64 swatch = f.ChStatusListView->CellImage(ChRow::RestingColour, 4).cacheKey();
    int changes = 0;
    for (ReportView* v : {f.TRK_StatusListView, f.ChStatusListView})
        QObject::connect(v->model(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    for (int i = 0; i < 1000; ++i) pass(1);
    EXPECT_EQ(f.Pictures().Made(), made);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(f.TRK_StatusListView->CellImage(TrkRow::DoorSensors, 0).cacheKey(), door);
    EXPECT_EQ(f.ChStatusListView->CellImage(ChRow::RestingColour, 4).cacheKey(), swatch);

    for (int i = 0; i < 1000; ++i) pass(i % 2 ? 1 : 6);  // 6 shows as 2: only bits 0 and 1 count
    EXPECT_EQ(f.Pictures().Made(), made + 1);
    EXPECT_EQ(changes, 1000);  // the door cell, each time its picture flips
    EXPECT_EQ(f.TRK_StatusListView->CellImage(TrkRow::DoorSensors, 0).toImage().convertToFormat(QImage::Format_ARGB32),
              DoorSensorPicture(1));
}

TEST_F(MainWindowTest, GroupsShowInDisplayOrderAndEmptyOnesAreHidden) {
    TForm1& f = Open();
    QStringList shown;
    for (int i = 0; i < f.ChStatusListView->topLevelItemCount(); ++i)
        if (!f.ChStatusListView->topLevelItem(i)->isHidden()) shown << f.ChStatusListView->topLevelItem(i)->text(0);
    EXPECT_EQ(shown, (QStringList{"Состояние каналов", "Загруженная доза", "Запущенная доза", "Текущая доза",
                                  "Счётчики и суммарники", "Настройки каналов (можно редактировать)",
                                  "Данные о последней заправке"}));
    // Row 20 of the channel view sits in the first group although it comes after others by index.
    EXPECT_EQ(f.ChStatusListView->RowGroup(20), 0);
}

TEST_F(MainWindowTest, HoveringARowShowsItsHintOrCaption) {
    TForm1& f = Open();
    ReportView* v = f.TRK_StatusListView;
    auto hover = [v](int y) {
        const QPointF at(20, y);
        QMouseEvent move(QEvent::MouseMove, at, v->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(v->viewport(), &move);
    };
    struct Case {
        int row;
        const char* hint;
    };
    const Case cases[] = {
        {24, "Адрес"},  // no hint of its own: the caption
        {11, "Шаг теста табло, (мс)\nВлияет на время теста табло в начале каждого налива"},
        {0, "Тип устройства"},
    };
    for (const Case& c : cases) {
        v->ScrollToRow(c.row);
        const QRect r = v->CellRect(c.row, 0);
        ASSERT_TRUE(r.isValid()) << c.row;
        EXPECT_EQ(v->RowAt(r.top()), c.row);
        EXPECT_EQ(v->RowAt(r.bottom()), c.row);
        hover(r.center().y());
        EXPECT_EQ(v->toolTip(), c.hint) << c.row;
    }
    // A group header is no row: the hint stays as it was.
    const QRect header = v->visualItemRect(v->topLevelItem(0));
    EXPECT_EQ(v->RowAt(header.center().y()), -1);
    hover(header.center().y());
    EXPECT_EQ(v->toolTip(), "Тип устройства");
}

}  // namespace
