// "Копировать" and "Сохранить CSV..." of the report views: the table text with its quoting,
// a view's table as shown, and every view of the windows with both actions after a poll.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/ChannelState.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/FlowmeterUnit.h"
#include "ui/dialogs/FuelUnit.h"
#include "ui/widgets/ReportExport.h"
#include "ui/widgets/ReportView.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_report_export_test"));

namespace fs = std::filesystem;

TEST(ReportExport, TableTextKeepsEveryCellOneCell) {
    const ReportTable table{{{"", "Канал 1", "Канал 2"},
                             {"Цена", "54,9", ""},
                             {"Топливо", "АИ-95 \"Премиум\"", "ДТ\tзима"},
                             {"Группа"},
                             {"Строка", "a\nb", "x"}}};
    EXPECT_EQ(TableText(table, TableFormat::Tsv),
              "\tКанал 1\tКанал 2\n"
              "Цена\t54,9\t\n"
              "Топливо\tАИ-95 \"Премиум\"\tДТ зима\n"
              "Группа\n"
              "Строка\ta b\tx\n");
    EXPECT_EQ(TableText(table, TableFormat::Csv),
              ",Канал 1,Канал 2\n"
              "Цена,\"54,9\",\n"
              "Топливо,\"АИ-95 \"\"Премиум\"\"\",ДТ\tзима\n"
              "Группа\n"
              "Строка,\"a\nb\",x\n");
    EXPECT_EQ(TableText({}, TableFormat::Csv), "");
}

TEST(ReportExport, ViewAsShown) {
    static constexpr ViewColumn columns[] = {{"", 70}, {"Канал 1", 70}, {"Канал 2", 70}};
    static constexpr ViewGroup groups[] = {{1, "Вторая"}, {0, "Первая"}, {2, "Пустая"}};
    static constexpr ViewRow rows[] = {{0, "А", nullptr}, {0, "Б", nullptr}, {1, "В", nullptr}};
    ReportView view;
    view.SetCatalog({columns, groups, rows, 2});
    view.SetCellText(0, 0, "1,5");
    view.SetCellText(2, 1, "да");
    const std::string expected = "\tКанал 1\tКанал 2\nВторая\nВ\t\tда\nПервая\nА\t1,5\t\nБ\t\t\n";
    EXPECT_EQ(TableText(ReportTableOf(view), TableFormat::Tsv), expected);

    QAction* copy = view.findChild<QAction*>("ReportCopyAction");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    EXPECT_EQ(copy->text(), "Копировать");
    QApplication::clipboard()->clear();
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);

    view.setColumnHidden(1, true);
    EXPECT_EQ(TableText(ReportTableOf(view), TableFormat::Tsv), "\tКанал 2\nВторая\nВ\tда\nПервая\nА\t\nБ\t\n");

    const fs::path file = fs::temp_directory_path() / ("ornix-export-" + std::to_string(getpid()) + ".csv");
    ASSERT_TRUE(SaveReportCsv(view, QString::fromStdString(file.string())));
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), ",Канал 2\nВторая\nВ,да\nПервая\nА,\nБ,\n");
    fs::remove(file);
    EXPECT_FALSE(SaveReportCsv(view, "/nonexistent-folder/t.csv"));
    EXPECT_EQ(view.findChild<QAction*>("ReportSaveCsvAction")->text(), "Сохранить CSV...");
}

TEST(ReportExport, EveryViewOfTheWindowsAfterAPoll) {
    WindowsOnSim on;
    ASSERT_TRUE(on.Sim().Started());
    TAppWindows& w = on.Windows();
    w.Form1.PollButton->click();
    ASSERT_TRUE(WaitForUi([&] { return !w.Form1.ChStatusListView->CellText(ChRow::Price, 0).isEmpty(); }, 15000));
    w.Form1.PollButton->click();
    ASSERT_TRUE(WorkerDone());

    const ReportView* views[] = {w.Form1.TRK_StatusListView, w.Form1.ChStatusListView, w.Form1.ValveListView,
                                 w.FlowmeterForm.FlowmeterListView, w.FuelForm.LoadedDoseListView};
    for (const ReportView* view : views) {
        ASSERT_NE(view->findChild<QAction*>("ReportCopyAction"), nullptr) << view->objectName().toStdString();
        ASSERT_NE(view->findChild<QAction*>("ReportSaveCsvAction"), nullptr) << view->objectName().toStdString();
    }
    // The price cell of channel 1 as the view shows it, under its caption.
    ReportView& channels = *w.Form1.ChStatusListView;
    const std::string price = channels.CellText(ChRow::Price, 0).toStdString();
    channels.findChild<QAction*>("ReportCopyAction")->trigger();
    const std::string copied = QApplication::clipboard()->text().toStdString();
    const std::string caption = channels.RowCaption(ChRow::Price).toStdString();
    EXPECT_NE(copied.find("\n" + caption + "\t" + price + "\t"), std::string::npos) << copied;
    EXPECT_LT(copied.find("Канал 1"), copied.find('\n')) << copied;
}

}  // namespace
