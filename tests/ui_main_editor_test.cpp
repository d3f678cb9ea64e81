// The main window's in-place editor and click cells under Qt offscreen, writing to the virtual
// controller: what a click opens, what Escape, focus loss and a rejected value leave behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/StatusPanelBar.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_main_editor_test"));

class MainEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        ASSERT_TRUE(on_.Sim().Started()) << on_.Sim().Error();
        Form().SetChannelCount(5);
    }
    TForm1& Form() { return on_.Windows().Form1; }
    SimHarness& sim() { return on_.Sim(); }
    QLineEdit* Editor() { return Form().ListViewEdit; }
    QString Panel(int i) { return Form().MainStatusBar->PanelText(i); }
    static void Click(ReportView* view, int row, int column) { ClickCell(view, row, column); }
    void Type(const QString& text, int key = Qt::Key_Return) {
        Editor()->setText(text);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(Editor(), &press);
    }
    bool Sent() { return WorkerDone(); }

    WindowsOnSim on_;
};

TEST_F(MainEditorTest, EscapeFocusLossAndRejectedValuesSendNothing) {
    TForm1& f = Form();
    f.SetTrkStatus(10, 0, "100");
    Click(f.TRK_StatusListView, 10, 0);  // the caption: no editor
    EXPECT_FALSE(Editor()->isVisible());

    Click(f.TRK_StatusListView, 10, 1);
    ASSERT_TRUE(Editor()->isVisible());
    EXPECT_EQ(Editor()->text(), "100");
    EXPECT_EQ(f.EditTrkRow, 10);
    Type("500", Qt::Key_Escape);
    EXPECT_FALSE(Editor()->isVisible());

    Click(f.TRK_StatusListView, 10, 1);
    Editor()->setText("500");
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(Editor(), &out);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(f.TRK_StatusListView->CellText(10, 0), "100");

    Click(f.TRK_StatusListView, 11, 1);
    Type("5");
    EXPECT_EQ(f.TRK_StatusListView->CellText(11, 0), "5");  // stays until the next reading
    EXPECT_EQ(Panel(4), "Время шага теста табло должно быть от 10 до 2550 мс");
    EXPECT_FALSE(WorkerRunning.load());

    Click(f.ValveListView, 0, 1);  // the valve currents are no setting
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(f.EditValveRow, -1);
    EXPECT_EQ(sim().MainState().TabloCutOff, 100);
}

TEST_F(MainEditorTest, AcceptedValuesReachTheController) {
    TForm1& f = Form();
    Click(f.TRK_StatusListView, 10, 1);
    Type("500");
    ASSERT_TRUE(Sent());
    EXPECT_EQ(sim().MainState().TabloCutOff, 500);
    EXPECT_EQ(Panel(4), "Запись отсечки табло...OK");

    Click(f.ChStatusListView, 21, 2);  // channel 2's price
    EXPECT_EQ(f.EditChRow, 21);
    EXPECT_EQ(f.EditTrkRow, 0);
    Type("12,5");
    ASSERT_TRUE(Sent());
    EXPECT_EQ(sim().MainState().Pouring.Channels[1].PricePerLitre, 1250u);
    EXPECT_EQ(f.State().KnownPrices[1], 1250u);
    EXPECT_FALSE(f.State().PriceKnown(1));  // typed, not read from the controller

    Click(f.ValveListView, 1, 3);
    Type("250");
    ASSERT_TRUE(Sent());
    EXPECT_EQ(sim().MainState().ReductionConst[2], 250);
}

TEST_F(MainEditorTest, BlockCellTogglesWhatItShows) {
    TForm1& f = Form();
    sim().WithBus([](SimBus& bus) { return bus.Main().State.Status.Channels[2].Blocked = true; });
    f.SetChStatusImage(0, 2, Images::RedCross);
    Click(f.ChStatusListView, 0, 3);
    ASSERT_TRUE(Sent());
    EXPECT_FALSE(sim().MainState().Status.Channels[2].Blocked);
    EXPECT_EQ(Panel(4), "Разблокировка канала 3...OK");

    f.SetChStatusImage(0, 2, Images::GreyCheck);
    Click(f.ChStatusListView, 0, 3);
    ASSERT_TRUE(Sent());
    EXPECT_TRUE(sim().MainState().Status.Channels[2].Blocked);
    EXPECT_TRUE(f.ChStatusListView->selectedItems().isEmpty());
}

TEST_F(MainEditorTest, ColourDialogSendsOnlyWhatTheUserChose) {
    TForm1& f = Form();
    std::optional<uint32_t> choice;
    f.PickNozzleColour = [&](uint32_t) { return choice; };
    f.State().RestingNozzleColour[0] = 0x00FF00;
    Click(f.ChStatusListView, 24, 1);  // cancelled
    EXPECT_FALSE(WorkerRunning.load());
    EXPECT_EQ(f.State().LiftedNozzleColour[0], 0u);

    choice = 0x0000FF;
    Click(f.ChStatusListView, 24, 1);
    ASSERT_TRUE(Sent());
    EXPECT_EQ(f.State().LiftedNozzleColour[0], 0x0000FFu);
    const auto look = sim().MainState().Status.Channels[0];
    EXPECT_EQ(look.LiftedColour, (std::array<uint8_t, 3>{0xFF, 0, 0}));
    EXPECT_EQ(look.RestingColour, (std::array<uint8_t, 3>{0, 0xFF, 0}));
}

}  // namespace
