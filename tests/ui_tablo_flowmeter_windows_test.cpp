// The flowmeter, display-board and manual display-board test windows under Qt offscreen,
// wired to the main window's starters and the simulated controller: which clicks open an
// editor, what a refused value says, and what reaches the controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "commands/FlowmeterTexts.h"
#include "engine/ComThreadUnit.h"
#include "sim/SimOptions.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/AppWindows.h"
#include "ui/main/StatusPanelBar.h"
#include "ui/widgets/ReportView.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_tablo_flowmeter_windows_test"));

SimConfig CryptoOnChannel2() {
    SimConfig config;
    std::string error;
    EXPECT_TRUE(ParseSimArguments({"--crypto", "2", "--no-customers"}, config, error)) << error;
    return config;
}

class DialogWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        on_ = std::make_unique<WindowsOnSim>(CryptoOnChannel2());
        ASSERT_TRUE(on_->Sim().Started()) << on_->Sim().Error();
        windows_ = &on_->Windows();
    }
    void TearDown() override { on_.reset(); }

    static void Key(QWidget* w, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &press);
    }
    static void Type(QLineEdit* edit, const char* text) {
        edit->setText(QString::fromUtf8(text));
        Key(edit, Qt::Key_Return);
    }
    QString Panel4() { return windows_->Form1.MainStatusBar->PanelText(4); }
    template <typename F>
    auto Controller(F&& f) {
        return on_->Sim().WithBus([&](SimBus& bus) { return f(bus.Main().State); });
    }

    std::unique_ptr<WindowsOnSim> on_;
    TAppWindows* windows_ = nullptr;
};

TEST_F(DialogWindowsTest, FlowmeterEditorsOpenOnlyOverEditableCells) {
    TFlowmeterForm& f = windows_->FlowmeterForm;
    f.show();
    ReportView* v = f.FlowmeterListView;
    EXPECT_EQ(v->ColumnCount(), 16);
    EXPECT_EQ(v->CellCount(25), 15);
    for (auto [row, column] : {std::pair{0, 1}, {FlowRow::TempOffset, 0}, {FlowRow::Status, 2}, {FlowRow::Type, 0}}) {
        ClickCell(v, row, column);
        EXPECT_FALSE(f.FlowmeterTypeCombo->isVisible()) << row << "/" << column;
        EXPECT_FALSE(f.FlowmeterListViewEdit->isVisible()) << row << "/" << column;
    }
    ClickCell(v, FlowRow::Type, 1);  // no type reported yet: nothing selected
    EXPECT_TRUE(f.FlowmeterTypeCombo->isVisible());
    EXPECT_EQ(f.FlowmeterTypeCombo->currentIndex(), -1);
    EXPECT_EQ(f.FlowmeterTypeCombo->geometry(), v->CellRect(FlowRow::Type, 1));
    f.FlowmeterTypeCombo->hidePopup();
    Key(f.FlowmeterTypeCombo, Qt::Key_Escape);
    EXPECT_FALSE(f.FlowmeterTypeCombo->isVisible());
    f.SetReportedFlowmeterType(1, 2);
    ClickCell(v, FlowRow::Type, 2);
    EXPECT_EQ(f.FlowmeterTypeCombo->currentIndex(), 1);
    f.FlowmeterTypeCombo->hidePopup();
    Key(f.FlowmeterTypeCombo, Qt::Key_Escape);

    // Flowmeter 6: refused by the starter, nothing sent, the typed text stays in the cell.
    f.SetFlowmeterCell(FlowRow::LpgAddress, 5, "7");
    f.SetReportedFlowmeterType(5, kLpgMassFlowmeterType);
    ClickCell(v, FlowRow::LpgAddress, 6);
    ASSERT_TRUE(f.FlowmeterListViewEdit->isVisible());
    EXPECT_EQ(f.FlowmeterListViewEdit->text(), "7");
    Type(f.FlowmeterListViewEdit, "10");
    EXPECT_FALSE(f.FlowmeterListViewEdit->isVisible());
    EXPECT_EQ(Panel4(), "Неправильный номер канала");
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_EQ(v->CellText(FlowRow::LpgAddress, 5), "10");

    // The status cell explains the code the crypto reader reported.
    f.SetCryptoStatus(2, kCryptoNotAnswered);
    const QPoint middle = v->CellRect(FlowRow::Status, 3).center();
    f.FlowmeterListViewMouseMove(middle, v->viewport()->mapToGlobal(middle));
    EXPECT_EQ(v->toolTip(), "ГИР не отвечает");
}

TEST_F(DialogWindowsTest, FlowmeterSettingsReachTheController) {
    TFlowmeterForm& f = windows_->FlowmeterForm;
    f.show();
    ReportView* v = f.FlowmeterListView;
    ClickCell(v, FlowRow::Type, 1);
    f.FlowmeterTypeCombo->hidePopup();
    emit f.FlowmeterTypeCombo->activated(3);
    EXPECT_FALSE(f.FlowmeterTypeCombo->isVisible());
    EXPECT_EQ(v->CellText(FlowRow::Type, 0), "LPGmass");
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.Status.Flowmeters[0].Type; }), kLpgMassFlowmeterType);

    // The address goes with the type this flowmeter has, not with the list's last choice.
    f.SetReportedFlowmeterType(0, kLpgMassFlowmeterType);
    f.FlowmeterTypeCombo->setCurrentIndex(0);
    ClickCell(v, FlowRow::LpgAddress, 1);
    Type(f.FlowmeterListViewEdit, "17");
    ASSERT_TRUE(WorkerDone());
    Controller([](ControllerState& s) {
        EXPECT_EQ(s.Status.Flowmeters[0].Type, kLpgMassFlowmeterType);
        EXPECT_EQ(s.Peripherals.Meters[0].LpgAddress, 17);
        return 0;
    });

    ClickCell(v, FlowRow::TempOffset, 2);  // the crypto flowmeter of channel 2
    Type(f.FlowmeterListViewEdit, "-5");
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.Peripherals.Meters[1].TempOffset; }), -5);
    EXPECT_TRUE(Panel4().endsWith("OK")) << Panel4().toStdString();
}

TEST_F(DialogWindowsTest, TabloEditorWritesOffsetsAndColourCorrections) {
    TTabloForm& f = windows_->TabloForm;
    f.show();
    ReportView* v = f.MainListView;
    EXPECT_EQ(v->CellCount(4), 6);
    EXPECT_EQ(v->CellCount(5), 4);
    // The type row, a keyboard's colour rows and the caption column open nothing.
    for (auto [row, column] : {std::pair{0, 1}, {3, 2}, {5, 5}, {10, 6}, {4, 0}}) {
        ClickCell(v, row, column);
        EXPECT_FALSE(f.ListViewEdit->isVisible()) << row << "/" << column;
    }
    f.SetTabloCell(4, 5, "1°C");
    ClickCell(v, 4, 6);
    ASSERT_TRUE(f.ListViewEdit->isVisible());
    Type(f.ListViewEdit, "-3");
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.Status.Displays[5].TempOffset; }), -3);
    EXPECT_EQ(v->CellText(4, 5), "1°C");  // until the next reading

    ClickCell(v, 4, 1);
    Type(f.ListViewEdit, "x");
    EXPECT_FALSE(WorkerRunning.load());

    ClickCell(v, 5, 1);  // no colours read yet: the other five would go out as zeros
    EXPECT_FALSE(f.ListViewEdit->isVisible());
    f.SetColourCorrection(0, {255, 255, 255, 0, 0, 0});
    ClickCell(v, 5, 1);
    Type(f.ListViewEdit, "50%");
    EXPECT_EQ(v->CellText(5, 0), "50%");
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.Status.Displays[0].ColourCorrection; }),
              (std::array<uint8_t, 6>{127, 255, 255, 0, 0, 0}));
}

// A poll read between an edit and its write still shows the board's old record: the next
// edit must build on the first, or its write would undo it.
TEST_F(DialogWindowsTest, ColourEditsBuildOnEachOtherAcrossAReadFromBeforeTheirWrites) {
    TTabloForm& f = windows_->TabloForm;
    f.show();
    ReportView* v = f.MainListView;
    const ColourCorrection read{255, 255, 255, 0, 0, 0};
    f.SetColourCorrection(0, read);
    std::vector<ColourCorrection> sent;
    // No worker takes them: both writes stay underway.
    f.SendTabloColourCorrection = [&](int, const ColourCorrection& r) { sent.push_back(r); };
    ClickCell(v, 5, 1);
    Type(f.ListViewEdit, "50%");
    f.SetColourCorrection(0, read);
    ClickCell(v, 6, 1);
    Type(f.ListViewEdit, "50%");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], (ColourCorrection{127, 127, 255, 0, 0, 0}));
    // Once both ran, the board's own record is the base again: the first taken, the second refused.
    f.ColourCorrectionWritten(0, sent[0], true);
    f.ColourCorrectionWritten(0, sent[1], false);
    ClickCell(v, 7, 1);
    Type(f.ListViewEdit, "50%");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], (ColourCorrection{127, 255, 127, 0, 0, 0}));
}

TEST_F(DialogWindowsTest, DisplayBoardTestsReachTheController) {
    windows_->Form1.TestTabloButton->click();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.TabloTest.AutoTestStarts; }), 1);

    TTestTabloManualForm& m = windows_->TestTabloManualForm;
    EXPECT_EQ(m.windowTitle(), "Test Tablo");
    EXPECT_TRUE(m.windowState() & Qt::WindowMaximized);
    m.setWindowState(Qt::WindowNoState);
    m.resize(1911, 1620);  // the picture at one pixel per ten design units
    m.show();
    EXPECT_EQ(m.DrawingArea(), QSize(1910, 1620));

    Key(&m, Qt::Key_Right);
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(m.TestStep, 0);
    Controller([](ControllerState& s) {
        EXPECT_EQ(s.TabloTest.FramesShown, 1);
        for (int i = 0; i < 30; ++i) EXPECT_EQ(s.TabloTest.LastFrame[size_t(i)], 1) << i;
        return 0;
    });

    // A click into the top-left sector of the ring switches indicator 9 on.
    const QPointF at(233, 943);
    QMouseEvent press(QEvent::MouseButtonPress, at, m.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&m, &press);
    EXPECT_EQ(m.TestStep, kNoTestStep);
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(Controller([](ControllerState& s) { return s.TabloTest.LastFrame[29]; }), 0x01 | 0x02);

    const TabloTestFrame before = m.Frame;
    Key(&m, Qt::Key_Right);  // step 0 again, then the size changes under it
    ASSERT_TRUE(WorkerDone());
    m.resize(700, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.TestStep, kNoTestStep);
    EXPECT_EQ(m.Frame, FrameOfStep(0));
    EXPECT_NE(m.Frame, before);
    EXPECT_EQ(Controller([](ControllerState& s) { return s.TabloTest.FramesShown; }), 3);
}

}  // namespace
