// The dose window: its conversions and placement rules as tables, then the window itself
// under Qt offscreen, ending with a quick start that pours on the virtual controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "link/UserFormats.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/FuelRules.h"
#include "ui/main/StatusPanelBar.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_dose_window_test"));

void CommaSeparator() {
    UserFormats formats;
    formats.DecimalSeparator = ",";
    SetUserFormats(formats);
}

TEST(DoseRules, AmountsConvertAtTheChannelPrice) {
    CommaSeparator();
    struct Case {
        int row;
        int64_t amount;
        int channel;
        uint32_t price;
        bool known;
        std::optional<std::string> shown;
        bool wholeUnits = false;
    };
    const Case cases[] = {
        {DoseRow::Dose, 10000, 0, 5000, true, "500"},
        {DoseRow::Dose, 333, 0, 4999, true, "16,65"},   // 16,6467 rounded up
        {DoseRow::Sum, 10000, 0, 5000, true, "2"},
        {DoseRow::Sum, 100, 0, 5000, true, "0,02"},
        {DoseRow::Sum, 100, 0, 0, true, std::nullopt},  // no division by a price of 0
        {DoseRow::Dose, 10000, 4, 0, true, "0"},
        {DoseRow::Dose, 10000, 5, 5000, true, std::nullopt},
        {DoseRow::Dose, 10000, 0, 5000, false, std::nullopt},
        {DoseRow::Dose, 2147483647, 0, 100000, true, "2147483647"},  // beyond 32 bits
        {DoseRow::None, 1, 0, 5000, true, std::nullopt},
        // Prices in whole units: 10 l at 250 cost 2500, and 2500 buy 10 l.
        {DoseRow::Dose, 10000, 0, 250, true, "2500", true},
        {DoseRow::Sum, 250000, 0, 250, true, "10", true},
        {DoseRow::Dose, 333, 0, 49, true, "16,32", true},   // 16,317 rounded up
    };
    for (const Case& c : cases) {
        TMainWindowTables prices;
        if (c.known) prices.RememberPrice(c.channel, c.price);
        prices.KnownPrices[size_t(c.channel)] = c.price;
        EXPECT_EQ(CounterpartText(c.row, c.amount, c.channel, prices, c.wholeUnits), c.shown)
            << c.amount << " at " << c.price;
    }
}

TEST(DoseRules, LoadReadsTheEditedRow) {
    struct Case {
        int row;
        const char* text;
        uint8_t kind;
        uint32_t amount;
        const char* error;
    };
    const Case cases[] = {
        {DoseRow::Dose, "1,5", 0, 1500, ""},
        {DoseRow::Sum, "99,9", 1, 9990, ""},
        {DoseRow::Dose, "1O", 0, 0, "Неправильная доза"},
        {DoseRow::Sum, "1 0 0", 1, 10000, ""},
        {DoseRow::Sum, "10р", 0, 0, "Неправильная сумма"},
        {DoseRow::Dose, "", 0, 0, "Неправильная доза"},     // "Загрузка" with an empty editor
        {DoseRow::Sum, " , ", 0, 0, "Неправильная сумма"},
    };
    for (const Case& c : cases) {
        const DoseLoad load = ReadDoseLoad(c.row, c.text);
        EXPECT_EQ(load.Error, c.error) << c.text;
        EXPECT_EQ(load.Kind, c.kind) << c.text;
        EXPECT_EQ(load.Amount, c.amount) << c.text;
    }
}

TEST(DoseRules, ReportedDoseLeavesTheEditedCellAloneWhileTyping) {
    using T = DoseTarget;
    struct Case {
        int channel, editRow, editChannel, holdOff;
        DosePlacement place;
    };
    const Case cases[] = {
        {1, DoseRow::Dose, 0, 10, {T::Cell, T::Cell}},
        {0, DoseRow::Dose, 0, 0, {T::Editor, T::Cell}},
        {0, DoseRow::Sum, 0, 0, {T::Cell, T::Editor}},
        {0, DoseRow::Sum, 0, 3, {T::Nowhere, T::Nowhere}},
        {0, DoseRow::None, 0, 0, {T::Nowhere, T::Nowhere}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceLoadedDose(c.channel, c.editRow, c.editChannel, c.holdOff), c.place) << c.channel;
}

class DoseWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        ASSERT_TRUE(on_.Sim().Started()) << on_.Sim().Error();
        CommaSeparator();
        Form().FuelButton->click();
        ASSERT_TRUE(Dose().isVisible());
    }
    TForm1& Form() { return on_.Windows().Form1; }
    TFuelForm& Dose() { return on_.Windows().FuelForm; }
    QString Cell(int row, int channel) { return Dose().LoadedDoseListView->CellText(row, channel); }
    void Click(int row, int column) { ClickCell(Dose().LoadedDoseListView, row, column); }
    void Key(int key, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(Dose().ListViewEdit, &press);
    }
    // Types as the engineer does: clears the editor, then one key per character.
    void TypeText(const QString& text) {
        Dose().ListViewEdit->clear();
        for (QChar ch : text) Key(ch == ',' ? int(Qt::Key_Comma) : int(Qt::Key_0) + ch.digitValue(), ch);
    }

    WindowsOnSim on_;
};

TEST_F(DoseWindowTest, TypingConvertsAtTheKnownPriceAndHoldsUpdatesOff) {
    TFuelForm& d = Dose();
    EXPECT_FALSE(d.StartDoseButton->isEnabled());
    Form().State().RememberPrice(0, 5000);
    Click(0, 1);
    EXPECT_TRUE(d.ListViewEdit->isVisible());
    EXPECT_TRUE(d.Start100Button->isEnabled());
    TypeText("10");
    EXPECT_EQ(d.DoseValue, 10000);
    EXPECT_EQ(Cell(1, 0), "500");
    EXPECT_EQ(Form().State().EditHoldOff, 10);

    // While held off, a reading changes only the other channels.
    d.ShowLoadedDose(0, "3", "150");
    d.ShowLoadedDose(1, "4", "200");
    EXPECT_EQ(d.ListViewEdit->text(), "10");
    EXPECT_EQ(Cell(0, 1), "4");
    Form().State().EditHoldOff = 0;
    d.ShowLoadedDose(0, "3", "150");
    EXPECT_EQ(d.ListViewEdit->text(), "3");
    EXPECT_EQ(Cell(1, 0), "150");
    EXPECT_EQ(d.DoseValue, 10000);  // an update is no edit

    Click(1, 1);
    TypeText("1");
    EXPECT_EQ(Cell(0, 0), "0,02");
    Key(Qt::Key_Return);
    EXPECT_FALSE(d.ListViewEdit->isVisible());
    EXPECT_EQ(Cell(1, 0), "1");
}

TEST_F(DoseWindowTest, BadTextIsReportedAndStartsNoWorker) {
    TFuelForm& d = Dose();
    Click(0, 2);
    d.ListViewEdit->setText("1O");
    d.SetDoseParamsButton->click();
    EXPECT_EQ(Form().MainStatusBar->PanelText(3), "Неправильная доза");
    EXPECT_FALSE(WorkerRunning.load());
}

TEST_F(DoseWindowTest, QuickStartPoursOnTheClickedChannelAndCloseRaisesTheButton) {
    TFuelForm& d = Dose();
    Click(0, 3);
    d.Start10Button->click();
    ASSERT_TRUE(WorkerDone());
    const auto pour = on_.Sim().MainState().Pouring.Channels[2];
    EXPECT_EQ(pour.Phase, SimFillPhase::Pouring);
    EXPECT_EQ(pour.DoseMl, 10000u);
    EXPECT_EQ(Form().MainStatusBar->PanelText(4), "Запуск дозы 3...OK");

    d.close();
    EXPECT_FALSE(Form().FuelButton->isChecked());
}

}  // namespace
