// The configuration window under Qt offscreen, wired into the application's windows on the
// virtual controller: conflict colouring and the write button, refused input in panel 4,
// the time group, and writes that reach the controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "commands/ClockCheck.h"
#include "commands/ConfigChecks.h"
#include "commands/ConfigMapping.h"
#include "commands/ConfigRecords.h"
#include "engine/ComThreadUnit.h"
#include "engine/TextHelpers.h"
#include "link/ExchangeLog.h"
#include "tests/support/QtTestApplication.h"
#include "sim/SimOptions.h"
#include "tests/support/SimHarness.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/AppWindows.h"
#include "ui/main/StatusPanelBar.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ornix-tester"));

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) { return WaitForUi(done, timeoutMs); }

bool Red(QWidget* w) { return w->palette().color(QPalette::Button) == QColor(Qt::red); }

class CfgWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Open({}); }
    void Open(const std::vector<std::string>& options) {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        on.reset();
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        on = std::make_unique<WindowsOnSim>(config);
        ASSERT_TRUE(on->Sim().Started()) << on->Sim().Error();
        sim = &on->Sim();
        windows = &on->Windows();
    }
    TTRK_CfgForm& Cfg() { return windows->TRK_CfgForm; }
    std::string Panel4() { return windows->Form1.MainStatusBar->PanelText(4).toStdString(); }
    void Activate() {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&Cfg(), &activate);
    }
    std::array<uint8_t, 33> SimTrkCfg() { return sim->MainState().Status.TrkCfg; }

    std::unique_ptr<WindowsOnSim> on;
    SimHarness* sim = nullptr;
    TAppWindows* windows = nullptr;
};

TEST_F(CfgWindowTest, EveryChangeChecksTheWholeLayoutAndOnlyAReadFreeOneIsWritten) {
    TTRK_CfgForm& f = Cfg();
    // A fresh window shows defaults, no configuration: nothing may be written before a read.
    const auto before = SimTrkCfg();
    EXPECT_FALSE(f.TRK_CfgWriteButton->isEnabled());
    f.WaitNozzleFreeCheckBox->setChecked(true);
    f.HoseCombo[0]->setCurrentIndex(1);
    EXPECT_FALSE(f.TRK_CfgWriteButton->isEnabled());
    f.TRK_CfgWriteButton->click();
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_EQ(SimTrkCfg(), before);

    windows->Form1.RunOperation(ReadTrkCfg);
    ASSERT_TRUE(WorkerDone());
    // A layout without conflicts: hose i, outputs i, 5 + i and 10 + i for channel i.
    for (size_t i = 0; i < CfgChannels; ++i) {
        f.HoseCombo[i]->setCurrentText(QString::number(i + 1));
        f.SmallValveCombo[i]->setCurrentIndex(int(i));
        f.LargeValveCombo[i]->setCurrentIndex(5 + int(i));
        f.PumpOutCombo[i]->setCurrentIndex(10 + int(i));
    }
    ASSERT_TRUE(f.TRK_CfgWriteButton->isEnabled());

    // Each step is one change by the engineer; after it exactly these combos are red, and the
    // write is enabled only when none is.
    struct Step { QComboBox* combo; int item; std::vector<QComboBox*> red; };
    const Step steps[] = {
        {f.PumpOutCombo[0], 5, {f.PumpOutCombo[0], f.LargeValveCombo[0]}},     // pump on main valve 1's output
        {f.PumpOutCombo[0], 10, {}},
        {f.NumberOfChannelsCombo, 1, {}},
        {f.SmallValveCombo[0], 5, {f.SmallValveCombo[0], f.LargeValveCombo[0]}},
        {f.HoseCombo[4], 2, {f.SmallValveCombo[0], f.LargeValveCombo[0]}},    // a hose set, free in itself
        {f.NozzleCombo[2], 3, {f.SmallValveCombo[0], f.LargeValveCombo[0]}},
        {f.SmallValveCombo[0], 0, {}},
        {f.HoseCombo[4], 4, {}},
        {f.SmallValveCombo[2], 7, {}},                                         // channel 3 is not active
        {f.NumberOfChannelsCombo, 4, {f.SmallValveCombo[2], f.LargeValveCombo[2]}},
        {f.HoseCombo[1], 5, {f.SmallValveCombo[2], f.LargeValveCombo[2], f.HoseCombo[0], f.HoseCombo[1]}},  // "1+2"
        {f.NumberOfChannelsCombo, 0, {}},
        {f.NumberOfChannelsCombo, 1, {f.HoseCombo[0], f.HoseCombo[1]}},
        {f.HoseCombo[1], 1, {}},
        {f.PumpOutCombo[1], 10, {}},                                            // two channels may share a pump
    };
    std::vector<QComboBox*> layout{f.NumberOfChannelsCombo};
    for (const auto* column : {&f.HoseCombo, &f.SmallValveCombo, &f.LargeValveCombo, &f.PumpOutCombo})
        layout.insert(layout.end(), column->begin(), column->end());
    int n = 0;
    for (const Step& s : steps) {
        ++n;
        s.combo->setCurrentIndex(s.item);
        for (QComboBox* c : layout)
            EXPECT_EQ(Red(c), std::ranges::count(s.red, c) == 1) << "step " << n << " " << c->objectName().toStdString();
        EXPECT_EQ(f.TRK_CfgWriteButton->isEnabled(), s.red.empty()) << "step " << n;
        EXPECT_EQ(ConfigConflictText(f.CurrentControls()).empty(), s.red.empty()) << "step " << n;
    }

    // The window read another controller than the one the main window now talks to.
    windows->Form1.SetDevAddr(7);
    f.TRK_CfgWriteButton->click();
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_TRUE(Panel4().starts_with("Сначала прочитайте конфигурацию")) << Panel4();
    EXPECT_FALSE(f.TRK_CfgWriteButton->isEnabled());
}

TEST_F(CfgWindowTest, RefusedInputSaysWhyAndStartsNothing) {
    TTRK_CfgForm& f = Cfg();
    struct Case { QLineEdit* edit; const char* text; QPushButton* button; const char* message; };
    const Case cases[] = {
        {f.NightBrightEdit, "5", f.NightBrightWriteButton, "Ночная яркость должна быть от 10 до 100 %"},
        {f.NightBrightEdit, "101", f.NightBrightWriteButton, "Ночная яркость должна быть от 10 до 100 %"},
        {f.FindNetAddrFromEdit, "0", f.FindNetAddrButton, "Адрес должен быть от 1 до 255"},
        {f.FindNetAddrToEdit, "256", f.FindNetAddrButton, "Адрес должен быть от 1 до 255"},
        {f.CurTimeUTCEdit, "31.02.2024 25:00:00", f.WriteTimeButton, "Время по Гринвичу не распознано"},
    };
    for (const Case& c : cases) {
        f.FindNetAddrFromEdit->setText("1");
        f.FindNetAddrToEdit->setText("127");
        c.edit->setText(QString::fromUtf8(c.text));
        c.button->click();
        EXPECT_TRUE(Panel4().starts_with(c.message)) << c.text << ": " << Panel4();
        EXPECT_FALSE(WorkerRunning.load()) << c.text;
    }
    EXPECT_EQ(f.FindNetAddrButton->text().toStdString(), "Начать");
    // Nothing selected in the zone combo: no zone is made up.
    f.TimeZoneCombo->setCurrentIndex(-1);
    f.TimeShiftCombo->setCurrentIndex(0);
    f.WriteTimeCfgButton->click();
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_FALSE(Panel4().empty());

    struct Code { const char* text; const char* label; };
    for (const Code& c : {Code{"1 00007 00000 65535 12345", "Обнуление суммарников"},
                          Code{"1 00007 00000 65535 1234", "Код операции должен состоять из 21 цифры"},
                          Code{"1 00007 00000 65535 1234x", "Код операции должен состоять из 21 цифры"}}) {
        f.SecOpCodeEdit->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(f.SecOpCodeLabel->text().toStdString(), c.label);
    }
    f.SendSecOpCodeButton->click();
    EXPECT_FALSE(WorkerRunning.load());
}

TEST_F(CfgWindowTest, ActivationGreysTheTimeGroupAt4800) {
    TTRK_CfgForm& f = Cfg();
    const std::vector<QWidget*> group = {f.CurTimeUTCEdit, f.CurTimeUTCLabel, f.CurTimeLocalEdit, f.TimeZoneCombo,
                                         f.TimeZoneLabel, f.TimeShiftCombo, f.TimeShiftLabel, f.GetTimeFromSystemButton,
                                         f.ReadTimeButton, f.WriteTimeButton, f.WriteTimeCfgButton};
    f.SecOpCodeLabel->setText("x");
    windows->Form1.SetBaudRate(4800);
    Activate();
    for (QWidget* w : group) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(f.SecOpCodeLabel->text().isEmpty());
    // A job ending gives the clock buttons back only where the line has a clock.
    f.SetTimeButtonsEnabled(true);
    EXPECT_FALSE(f.WriteTimeButton->isEnabled());
    windows->Form1.SetBaudRate(9600);
    Activate();
    for (QWidget* w : group) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

struct StillPc : PcClock {
    uint32_t LocalSeconds() override { return 850000000; }
    int ZoneHours() override { return ZoneHoursFromBias(5 * 3600); }  // UTC-5
    uint32_t UtcSeconds() override { return 850000000 + 5 * 3600; }
};

TEST_F(CfgWindowTest, PcTimeWestOfGreenwichShowsLondon) {
    StillPc pc;
    SetPcClock(&pc);
    Cfg().GetTimeFromSystemButton->click();
    SetPcClock(nullptr);
    EXPECT_EQ(Cfg().TimeZoneCombo->currentText().toStdString(), "   0:00 Лондон");
    EXPECT_EQ(Cfg().TimeShiftCombo->currentIndex(), 0);
    EXPECT_EQ(Cfg().CurTimeLocalEdit->text().toStdString(), DateTimeText(850000000));
    EXPECT_EQ(Cfg().CurTimeUTCEdit->text().toStdString(), DateTimeText(850000000 + 5 * 3600));
}

TEST_F(CfgWindowTest, WriteFromAFreshWorkerKeepsTheBitsTheWindowDoesNotShow) {
    std::array<uint8_t, 33> original{};
    sim->WithBus([&](SimBus& bus) {
        auto& page = bus.Main().State.Status.TrkCfg;
        page[2] = 0x24;    // bit 5 is not shown; bit 2 is VrxOverflowCheckBox
        page[23] |= 0x70;  // bits 4..6 of channel 1's display-board byte are not shown either
        original = page;
    });
    // One worker reads the page and fills the window, then ends.
    windows->Form1.RunOperation(ReadTrkCfg);
    ASSERT_TRUE(WorkerDone());
    TTRK_CfgForm& f = Cfg();
    ASSERT_TRUE(f.VrxOverflowCheckBox->isChecked());
    ASSERT_TRUE(f.TRK_CfgWriteButton->isEnabled());

    // A fresh worker writes what the engineer changed.
    f.NumberOfChannelsCombo->setCurrentIndex(1);
    f.HoseCombo[0]->setCurrentText("1+2+3");
    f.HoseCombo[1]->setCurrentText("4+5");
    f.BoardCheckBox[0][3]->setChecked(true);
    const TrkCfgControls shown = f.CurrentControls();
    f.TRK_CfgWriteButton->click();
    ASSERT_TRUE(WorkerDone());
    EXPECT_TRUE(Panel4().ends_with("Запись конфигурации ТРК...OK")) << Panel4();

    std::array<uint8_t, 33> expected = original;
    ControlsToTrkCfg(shown, expected);
    const auto written = SimTrkCfg();
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written[2], 0x24);
    EXPECT_EQ(written[23] & 0x70, 0x70);
    EXPECT_EQ(written[0], 2);
}

TEST_F(CfgWindowTest, AnUnwritableExchangeLogIsSaidInTheMessagePanel) {
    const std::string missing = (std::filesystem::temp_directory_path() / "ornix-no-such-folder" / "x.log").string();
    SetExchangeLogPath(missing);
    windows->Form1.RunOperation(ReadTrkCfg);
    const bool done = WorkerDone();
    const bool said = WaitUntil([&] { return Panel4().starts_with("Не могу записать журнал обмена " + missing); });
    SetExchangeLogPath("");
    EXPECT_TRUE(done && said) << Panel4();
}

TEST_F(CfgWindowTest, RemoteInitialisationRoundTrip) {
    TTRK_CfgForm& f = Cfg();
    f.GetSecReqCodeButton->click();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(f.SecReqCodeEdit->text().toStdString(), "00007 00000 65535 04321");
    // The simulator takes each request group plus the type.
    f.SecOpCodeEdit->setText("3 00010 00003 00002 04324");
    f.SendSecOpCodeButton->click();
    ASSERT_TRUE(WorkerDone());
    f.SecOpCodeEdit->setText("1 00010 00003 00002 04324");
    f.SendSecOpCodeButton->click();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(sim->MainState().RemoteInit.Performed, std::vector<uint8_t>{3});
    EXPECT_TRUE(windows->Form1.MainStatusBar->PanelText(3).toStdString().starts_with("Обнуление суммарников...Ошибка 18"));
}

TEST_F(CfgWindowTest, SearchButtonStopsTheSearch) {
    TTRK_CfgForm& f = Cfg();
    f.FindNetAddrMemo->setPlainText("old");
    f.FindNetAddrButton->click();
    EXPECT_EQ(f.FindNetAddrButton->text().toStdString(), "СТОП");
    EXPECT_TRUE(f.FindNetAddrMemo->toPlainText().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return f.FindNetAddrMemo->toPlainText().contains("9600 1"); }));
    f.FindNetAddrButton->click();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(f.FindNetAddrButton->text().toStdString(), "Начать");
    EXPECT_EQ(f.FindNetAddrMemo->toPlainText().toStdString(), "9600 1 найдено 5-канальная ТРК");
}

// The picture for the README: the window after a poll of the simulator, a request code
// fetched and a search at the first rate stopped by hand. Runs only for scripts/screenshots.sh.
TEST_F(CfgWindowTest, Screenshot) {
    const char* folder = std::getenv("ORNIX_SCREENSHOTS");
    if (!folder || !*folder) GTEST_SKIP() << "ORNIX_SCREENSHOTS is not set";
    Open({"--device", "3:9600:9", "--device", "12:9600:38", "--subtrk", "1"});
    TForm1& form = windows->Form1;
    TTRK_CfgForm& f = Cfg();
    form.TRK_CfgButton->click();
    form.PollButton->click();
    ASSERT_TRUE(WaitUntil([&] { return !f.Illum2Edit->text().isEmpty() && !f.LgChEdit->text().isEmpty(); }, 15000));
    form.PollButton->click();
    ASSERT_TRUE(WorkerDone());
    f.GetSecReqCodeButton->click();
    ASSERT_TRUE(WorkerDone());
    f.FindNetAddrToEdit->setText("16");
    f.FindNetAddrButton->click();
    ASSERT_TRUE(WaitUntil([&] { return form.MainStatusBar->PanelText(3).contains("9600 16..."); }, 10000));
    f.FindNetAddrButton->click();
    ASSERT_TRUE(WorkerDone());
    f.SecOpCodeEdit->setText("1 00008 00001 00000 04322");
    // At the size it opens with: the README shows what a laptop shows.
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QPixmap body = f.grab();
    constexpr int kTitleHeight = 26;  // no window manager on the virtual screen draws one
    QImage picture(body.width(), body.height() + kTitleHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, body.width(), kTitleHeight, QColor(0x2B, 0x57, 0x9A));
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 0, body.width() - 20, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft, f.windowTitle());
    painter.drawPixmap(0, kTitleHeight, body);
    painter.end();
    const std::string target = std::string(folder) + "/configuration.png";
    EXPECT_TRUE(picture.save(QString::fromStdString(target), "PNG")) << target;
}

}  // namespace
