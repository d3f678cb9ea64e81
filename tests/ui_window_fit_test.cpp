// The windows on a 1366 x 768 laptop screen (Qt offscreen, given that screen): every window opens
// within what the screen leaves beside its panel, and at the main window's opening size no value
// of the three status views is cut while the view has room for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "commands/ChannelState.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/McuPinRules.h"
#include "ui/main/AppWindows.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/WindowFit.h"

namespace {

namespace fs = std::filesystem;

// The offscreen platform takes its screens from a file: one laptop screen.
class LaptopScreen : public ::testing::Environment {
public:
    void SetUp() override {
        path_ = fs::temp_directory_path() / ("ornix-laptop-" + std::to_string(getpid()) + ".json");
        std::ofstream(path_) << R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,)"
                                R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path_.string()).c_str(), 1);
    }
    void TearDown() override { fs::remove(path_); }

private:
    fs::path path_;
};

// Registered in this order: the screen is set before the application starts.
[[maybe_unused]] const auto* const kScreen = ::testing::AddGlobalTestEnvironment(new LaptopScreen);
[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_window_fit_test"));

// Room a cell's text takes beyond its glyphs: the style's margin on each side.
int TextMargins(const QWidget& view) {
    return 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1);
}

// Cells whose text is wider than their column under the view's font, as "row/column: text".
std::vector<std::string> CutCells(ReportView& view) {
    const QFontMetrics metrics(view.font());
    std::vector<std::string> cut;
    for (int row = 0; row < view.RowCount(); ++row) {
        auto check = [&](int column, const QString& text) {
            if (text.isEmpty() || view.isColumnHidden(column)) return;
            if (metrics.horizontalAdvance(text) + TextMargins(view) > view.columnWidth(column))
                cut.push_back(std::to_string(row) + "/" + std::to_string(column) + ": " + text.toStdString());
        };
        check(0, view.RowCaption(row));
        for (int cell = 0; cell < view.CellCount(row) && cell + 1 < view.columnCount(); ++cell)
            check(cell + 1, view.CellText(row, cell));
    }
    return cut;
}

// Whether every column could show its widest text whole side by side in the view.
bool HasRoom(ReportView& view) {
    int needed = 0;
    for (int column = 0; column < view.columnCount(); ++column)
        if (!view.isColumnHidden(column)) needed += view.ColumnContentWidth(column);
    return needed <= view.viewport()->width();
}

class WindowFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(1366, 768));
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
};

TEST_F(WindowFitTest, EveryWindowOpensWithinALaptopScreen) {
    char pattern[] = "/tmp/ornix-fit-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    {
        TAppWindows w(dir + "/t.ini");
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (QWidget* window : std::initializer_list<QWidget*>{&w.Form1, &w.TRK_CfgForm, &w.TestTabloManualForm,
                                                               &w.TestMcuPinsForm, &w.SdCardExplorerForm, &w.FuelForm,
                                                               &w.FlowmeterForm, &w.TabloForm}) {
            window->show();
            Settle();
            const std::string name = window->objectName().toStdString();
            const QRect f = window->frameGeometry();
            EXPECT_TRUE(screen.contains(f)) << name << " at " << f.x() << "," << f.y() << " " << f.width() << "x" << f.height();
            // A maximised window is fitted to the work area by the window manager itself.
            if (!window->isMaximized()) {
                EXPECT_LE(window->width() + kBorderAllowance, kLaptopWorkArea.width()) << name;
                EXPECT_LE(window->height() + kTitleBarAllowance, kLaptopWorkArea.height()) << name;
            }
            window->hide();
        }

        // "Настройки" shows every group without scrolling.
        const auto* scroll = w.TRK_CfgForm.findChild<QScrollArea*>("CfgScrollArea");
        ASSERT_NE(scroll, nullptr);
        w.TRK_CfgForm.show();
        Settle();
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
        EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
        w.TRK_CfgForm.hide();

        // The pin numbers stand apart in the desktop's font at the size the window opens.
        const QFontMetrics metrics(w.TestMcuPinsForm.font());
        const PackageBody body = BodyFor(w.TestMcuPinsForm.height());
        std::vector<QRect> boxes;
        for (int pin = 1; pin <= kPackagePins; ++pin) {
            const QString number = QString::number(pin);
            const LabelBox b = PinLabelBox(PlaceOfPin(pin, body), metrics.horizontalAdvance(number), metrics.height());
            boxes.emplace_back(b.x, b.y, b.width, b.height);
        }
        for (size_t i = 0; i < boxes.size(); ++i)
            for (size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_FALSE(boxes[i].intersects(boxes[j])) << "pins " << i + 1 << " and " << j + 1;

        // The flowmeter window shows its first five columns whole; the dose window the controller's channels.
        w.FlowmeterForm.show();
        Settle();
        ReportView* flow = w.FlowmeterForm.FlowmeterListView;
        EXPECT_LE(flow->header()->sectionViewportPosition(5) + flow->columnWidth(5), flow->viewport()->width());
        w.Form1.SetChannelCount(3);
        Settle();
        std::vector<bool> shown;
        for (int c = 1; c <= 15; ++c) shown.push_back(!w.FuelForm.LoadedDoseListView->isColumnHidden(c));
        EXPECT_EQ(std::count(shown.begin(), shown.end(), true), 3);
        EXPECT_TRUE(shown[0] && shown[1] && shown[2]);
    }
    fs::remove_all(dir);
}

TEST_F(WindowFitTest, NoValueIsCutWhileTheViewHasRoom) {
    SimConfig quiet;
    quiet.Controller.Pouring.Customers = false;
    WindowsOnSim on(quiet);
    ASSERT_TRUE(on.Sim().Started()) << on.Sim().Error();
    TAppWindows& w = on.Windows();
    TForm1& form = w.Form1;
    form.PollButton->click();
    // Every view is filled once the walk has reached the last channel and the valve controller.
    ASSERT_TRUE(WaitForUi([&] {
        return !form.ChStatusListView->CellText(ChRow::Price, 4).isEmpty() && !form.ValveListView->CellText(0, 0).isEmpty() &&
               !form.TRK_StatusListView->CellText(2, 0).isEmpty();
    }, 15000));
    form.PollButton->click();
    ASSERT_TRUE(WorkerDone());
    Settle();
    for (ReportView* view : {form.TRK_StatusListView, form.ChStatusListView, form.ValveListView}) {
        const std::string name = view->objectName().toStdString();
        // At the opening size the views have room for the simulated controller's values...
        EXPECT_TRUE(HasRoom(*view)) << name;
        // ...and then nothing in them may be cut.
        if (HasRoom(*view)) {
            EXPECT_EQ(CutCells(*view), std::vector<std::string>{}) << name;
        }
    }
    // A view made too narrow cuts, and its tip then holds the whole value.
    form.TRK_StatusListView->setColumnWidth(1, 40);
    const QRect md5 = form.TRK_StatusListView->CellRect(2, 1);
    EXPECT_EQ(form.TRK_StatusListView->TipAt(md5.center(), "MD5"), form.TRK_StatusListView->CellText(2, 0) + "\nMD5");
}

}  // namespace
