// Takes the README's pictures of the main window polling the simulated controller. Runs only
// when ORNIX_SCREENSHOTS names the folder to write them to (scripts/screenshots.sh sets it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "commands/ChannelState.h"
#include "engine/ComThreadUnit.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/SimHarness.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/AppWindows.h"
#include "ui/main/HardwareFaults.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/StatusPanelBar.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/WindowFit.h"

namespace {

namespace fs = std::filesystem;

const char* ScreenshotFolder() { return std::getenv("ORNIX_SCREENSHOTS"); }

[[maybe_unused]] const auto* const kApp = ::testing::AddGlobalTestEnvironment(
    new QtTestApplication("ornix-tester", ScreenshotFolder() && *ScreenshotFolder()));

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = ScreenshotFolder();
        if (!dir || !*dir) GTEST_SKIP() << "ORNIX_SCREENSHOTS is not set";
        dir_ = dir;
        ini_ = fs::temp_directory_path() / ("ornix-screenshot-" + std::to_string(getpid()) + ".ini");
    }
    void TearDown() override { fs::remove(ini_); }

    // Opens the windows on the simulator's port and presses "Опрос".
    TForm1& StartPolling(SimHarness& sim) {
        EXPECT_TRUE(sim.Started()) << sim.Error();
        fs::remove(ini_);
        EXPECT_TRUE(SettingsFile(ini_.string()).WriteString(kPortSection, kLastPortKey, sim.PortName()));
        windows_ = std::make_unique<TAppWindows>(ini_.string());
        TForm1& form = windows_->Form1;
        form.show();
        form.PollButton->click();
        return form;
    }
    static bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
        return WaitForUi(done, int(std::chrono::milliseconds(timeout).count()));
    }
    // Every channel column is filled once the walk has reached the last channel.
    static bool ChannelsFilled(TForm1& form) {
        return !form.ChStatusListView->CellText(ChRow::Price, 4).isEmpty() &&
               !form.ValveListView->CellText(0, 0).isEmpty();
    }
    // The virtual screen has no window manager to draw a title bar, so the picture gets one
    // drawn from the window's own title: that is where the faults blink.
    static QImage WithTitleBar(QWidget& window) {
        const QPixmap body = window.grab();
        constexpr int kTitleHeight = 26;
        QImage picture(body.width(), body.height() + kTitleHeight, QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.fillRect(0, 0, body.width(), kTitleHeight, QColor(0x2B, 0x57, 0x9A));
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(10, 0, body.width() - 20, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         window.windowTitle());
        painter.drawPixmap(0, kTitleHeight, body);
        return picture;
    }
    void Save(const QImage& picture, const char* name) {
        const fs::path target = fs::path(dir_) / name;
        EXPECT_TRUE(picture.save(QString::fromStdString(target.string()), "PNG")) << target;
    }
    void StopPolling(TForm1& form) {
        form.PollButton->click();
        EXPECT_TRUE(WaitUntil([] { return !WorkerRunning.load(); }, std::chrono::seconds(5)));
    }

    std::string dir_;
    fs::path ini_;
    std::unique_ptr<TAppWindows> windows_;
};

TEST_F(Screenshot, MainWindowAfterAPoll) {
    SimConfig quiet;
    quiet.Controller.Pouring.Customers = false;
    SimHarness sim(quiet);
    TForm1& form = StartPolling(sim);
    ASSERT_TRUE(WaitUntil([&] { return ChannelsFilled(form); }, std::chrono::seconds(10)));
    StopPolling(form);
    // Let the window paint its final state before it is grabbed.
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(form.grab().toImage(), "main.png");
    windows_.reset();
}

TEST_F(Screenshot, PollWhileCustomersPourAndAFlowmeterFaultBlinks) {
    constexpr int kValveLeakOfFlowmeter2 = 37;
    SimConfig busy;
    busy.Controller.HardwareError = kValveLeakOfFlowmeter2;
    SimHarness sim(busy);
    TForm1& form = StartPolling(sim);
    const QString fault = QString::fromStdString(TitlePrefix + HardwareFaultText(kValveLeakOfFlowmeter2));
    // A few seconds of customers pouring, then the moment the fault is in the title.
    const auto pouring = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    ASSERT_TRUE(WaitUntil(
        [&] { return ChannelsFilled(form) && std::chrono::steady_clock::now() > pouring && form.windowTitle() == fault; },
        std::chrono::seconds(15)));
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(WithTitleBar(form), "poll.png");
    StopPolling(form);
    windows_.reset();
}

TEST_F(Screenshot, DoseWindowWhileAFillPours) {
    SimConfig quiet;
    quiet.Controller.Pouring.Customers = false;
    SimHarness sim(quiet);
    TForm1& form = StartPolling(sim);
    ASSERT_TRUE(WaitUntil([&] { return ChannelsFilled(form); }, std::chrono::seconds(10)));
    form.FuelButton->click();
    TFuelForm& dose = windows_->FuelForm;
    // The engineer types 20 l for channel 1, loads and starts it, then starts 5 l on channel 2.
    auto clickCell = [&](int row, int column) {
        const QPointF at = dose.LoadedDoseListView->CellRect(row, column).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, dose.LoadedDoseListView->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dose.LoadedDoseListView->viewport(), &press);
    };
    auto type = [&](const QString& text) {
        dose.ListViewEdit->clear();
        for (QChar ch : text) {
            QKeyEvent key(QEvent::KeyPress, int(Qt::Key_0) + ch.digitValue(), Qt::NoModifier, ch);
            QCoreApplication::sendEvent(dose.ListViewEdit, &key);
        }
    };
    auto idle = [&] { return WaitUntil([] { return CurrentWorker->Pending() == nullptr; }, std::chrono::seconds(5)); };
    // Each step's result is in before the next click, so the picture shows both fills.
    // The command's outcome leads panel 4; a standing message (the clock's zone) may follow it.
    auto shown = [&](const char* text) {
        return WaitUntil([&] { return form.MainStatusBar->PanelText(4).startsWith(QString::fromUtf8(text)); },
                         std::chrono::seconds(5));
    };
    clickCell(0, 2);
    dose.Start5Button->click();
    ASSERT_TRUE(idle());
    ASSERT_TRUE(shown("Запуск дозы 2...OK"));
    clickCell(0, 1);
    type("20");
    dose.SetDoseParamsButton->click();
    ASSERT_TRUE(idle());
    ASSERT_TRUE(shown("Загрузка параметров дозы 1...OK"));
    dose.StartDoseButton->click();
    ASSERT_TRUE(idle());
    ASSERT_TRUE(shown("Запуск дозы 1...OK"));
    // Twelve seconds of pouring: the 5 l of channel 2 run out and stop, the 20 l of channel 1
    // pour on, in the chart below the table.
    const auto pouring = std::chrono::steady_clock::now() + std::chrono::seconds(12);
    WaitUntil([&] { return std::chrono::steady_clock::now() > pouring; }, std::chrono::seconds(13));
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(WithTitleBar(dose), "dose.png");
    StopPolling(form);
    windows_.reset();
}

TEST_F(Screenshot, FlowmeterWindowAfterAPoll) {
    constexpr uint8_t kCrypto = 3, kLpgMass = 4;
    SimConfig meters;
    meters.Controller.Pouring.Customers = false;
    meters.Controller.Status.Flowmeters[1].Type = kCrypto;
    meters.Controller.Status.Flowmeters[2].Type = kLpgMass;
    SimHarness sim(meters);
    TForm1& form = StartPolling(sim);
    form.FlowmeterButton->click();
    TFlowmeterForm& window = windows_->FlowmeterForm;
    // The walk has reached the last flowmeter, and the crypto and gas rows have their values.
    ASSERT_TRUE(WaitUntil(
        [&] {
            ReportView* v = window.FlowmeterListView;
            return ChannelsFilled(form) && !v->CellText(0, 4).isEmpty() && v->CellText(20, 1) == "0" &&
                   !v->CellText(16, 2).isEmpty();
        },
        std::chrono::seconds(15)));
    StopPolling(form);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(WithTitleBar(window), "flowmeters.png");
    windows_.reset();
}

TEST_F(Screenshot, DisplayBoardWindowAfterAPoll) {
    SimConfig quiet;
    quiet.Controller.Pouring.Customers = false;
    SimHarness sim(quiet);
    TForm1& form = StartPolling(sim);
    form.TabloButton->click();
    TTabloForm& window = windows_->TabloForm;
    // The walk has reached the keyboards and the boards' colour corrections.
    ASSERT_TRUE(WaitUntil(
        [&] { return ChannelsFilled(form) && !window.MainListView->CellText(2, 5).isEmpty() &&
                     !window.MainListView->CellText(10, 3).isEmpty(); },
        std::chrono::seconds(15)));
    StopPolling(form);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(WithTitleBar(window), "tablo.png");
    windows_.reset();
}

TEST_F(Screenshot, ManualDisplayBoardTest) {
    SimConfig quiet;
    quiet.Controller.Pouring.Customers = false;
    SimHarness sim(quiet);
    TForm1& form = StartPolling(sim);
    StopPolling(form);
    TTestTabloManualForm& window = windows_->TestTabloManualForm;
    // As maximised on a 1366 x 768 laptop; the virtual screen has no window manager to do it.
    window.setWindowState(Qt::WindowNoState);
    window.resize(OpeningSize(kLaptopWorkArea));
    window.show();
    // A price board as the engineer sets it up by hand: 52.40 and 1234.56 in the big rows, two
    // single digits, the small row and half of the ring, then one click on the ring sends it.
    constexpr uint8_t kDigit[] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    constexpr uint8_t kPoint = 0x80;
    TabloTestFrame frame{};
    const uint8_t row1[] = {0, 0, kDigit[5], uint8_t(kDigit[2] | kPoint), kDigit[4], kDigit[0], 0};
    const uint8_t row2[] = {0, kDigit[1], kDigit[2], kDigit[3], uint8_t(kDigit[4] | kPoint), kDigit[5], kDigit[6]};
    std::copy(std::begin(row1), std::end(row1), frame.begin());
    std::copy(std::begin(row2), std::end(row2), frame.begin() + 7);
    frame[15] = kDigit[9];
    frame[16] = kDigit[5];
    for (int k = 0; k < 9; ++k) frame[size_t(19 + k)] = kDigit[k + 1];
    frame[28] = 0x0F;
    window.Frame = frame;
    QCoreApplication::processEvents();
    const double s = TabloScale(window.DrawingArea().width(), window.DrawingArea().height());
    const QPointF ring(int((2792 + 463) * s), int((10861 + 1427) * s));  // indicator 4 joins 0..3
    QMouseEvent press(QEvent::MouseButtonPress, ring, window.mapToGlobal(ring), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &press);
    ASSERT_TRUE(WaitUntil([] { return !WorkerRunning.load(); }, std::chrono::seconds(5)));
    const auto shown = sim.MainState().TabloTest.LastFrame;
    EXPECT_TRUE(std::equal(window.Frame.begin(), window.Frame.end(), shown.begin()));
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(WithTitleBar(window), "tablo-test.png");
    window.hide();
    windows_.reset();
}

}  // namespace
