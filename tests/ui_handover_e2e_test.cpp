// What the engineer hands over while a worker runs reaches ornix-sim, through the real windows
// offscreen: a stop clicked while the dose start still runs, prices typed back to back with and
// without a poll, and a second SD file chosen while the first one is read.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "commands/ServiceCommands.h"
#include "sim/SimOptions.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/FuelUnit.h"
#include "ui/dialogs/SdExplorerUnit.h"
#include "ui/main/StatusPanelBar.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_handover_e2e_test"));

SimConfig SimWith(const std::vector<std::string>& options, const std::function<void(ControllerState&)>& change = {}) {
    SimConfig config;
    std::string error;
    std::vector<std::string> all = {"--no-customers"};
    all.insert(all.end(), options.begin(), options.end());
    EXPECT_TRUE(ParseSimArguments(all, config, error)) << error;
    if (change) change(config.Controller);
    return config;
}

bool Until(const std::function<bool()>& done) { return WaitForUi(done, 15000); }

TEST(HandOverE2e, StopClickedWhileTheDoseStartStillRunsStopsTheFill) {
    WindowsOnSim on(SimWith({}));
    ASSERT_TRUE(on.Sim().Started()) << on.Sim().Error();
    TAppWindows& w = on.Windows();
    w.Form1.FuelButton->click();
    ClickCell(w.FuelForm.LoadedDoseListView, 0, 3);  // channel 3
    // The second click comes before the start job could even open the port.
    w.FuelForm.Start5Button->click();
    ASSERT_TRUE(WorkerRunning.load());
    w.FuelForm.StopDoseButton->click();
    ASSERT_TRUE(WorkerDone());
    const auto pour = on.Sim().MainState().Pouring.Channels[2];
    EXPECT_EQ(pour.DoseMl, 5000u);
    EXPECT_EQ(pour.Phase, SimFillPhase::Stopped);
    EXPECT_EQ(w.Form1.MainStatusBar->PanelText(4), "Остановка дозы 3...OK");
}

TEST(HandOverE2e, PricesTypedBackToBackAllReachTheController) {
    WindowsOnSim on(SimWith({}));
    ASSERT_TRUE(on.Sim().Started()) << on.Sim().Error();
    TForm1& f = on.Windows().Form1;
    f.SetChannelCount(5);
    constexpr int kPriceRow = 21;
    const auto typePrice = [&](int channel, const char* text) {
        ClickCell(f.ChStatusListView, kPriceRow, channel + 1);
        f.ListViewEdit->setText(QString::fromUtf8(text));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(f.ListViewEdit, &enter);
    };
    const auto prices = [&] {
        return on.Sim().WithBus([](SimBus& bus) {
            std::array<uint32_t, 3> p{};
            for (int i = 0; i < 3; ++i) p[size_t(i)] = bus.Main().State.Pouring.Channels[size_t(i)].PricePerLitre;
            return p;
        });
    };

    // No poll: the first edit starts a worker, the next two come while it runs.
    typePrice(0, "31");
    typePrice(1, "32");
    typePrice(2, "33");
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(prices(), (std::array<uint32_t, 3>{3100, 3200, 3300}));

    // During a poll: all three go between two passes.
    f.PollButton->click();
    ASSERT_TRUE(f.PollButton->isChecked());
    ASSERT_TRUE(Until([&] { return f.MainStatusBar->PanelText(3).startsWith(QString::fromUtf8("Чтение")); }));
    typePrice(0, "41");
    typePrice(1, "42");
    typePrice(2, "43");
    EXPECT_TRUE(Until([&] { return prices() == std::array<uint32_t, 3>{4100, 4200, 4300}; }))
        << prices()[0] << " " << prices()[1] << " " << prices()[2];
    f.PollButton->click();
    ASSERT_TRUE(WorkerDone());
}

TEST(HandOverE2e, SecondSdFileChosenDuringAReadIsTheOneShown) {
    // Answers at the line rate: the first file takes a few seconds, time enough to choose another.
    const std::string first(3000, 'a');
    const std::string second = "the second file";
    WindowsOnSim on(SimWith({"--pace"}, [&](ControllerState& s) {
        s.Service.SdFiles = {{"FIRST.TXT", {first.begin(), first.end()}}, {"SECOND.TXT", {second.begin(), second.end()}}};
    }));
    ASSERT_TRUE(on.Sim().Started()) << on.Sim().Error();
    TSdCardExplorerForm& form = on.Windows().SdCardExplorerForm;
    form.show();
    form.FormActivate();
    ASSERT_TRUE(Until([&] { return !WorkerRunning.load() && form.SD_TreeView->topLevelItemCount() == 2; }));
    // How much of the first file ever arrived.
    size_t firstShown = 0;
    QObject::connect(form.SD_FileMemo, &QPlainTextEdit::textChanged, [&] {
        if (form.FileSize == first.size()) firstShown = std::max(firstShown, form.FileText.size());
    });
    form.SD_TreeView->setCurrentItem(form.SD_TreeView->topLevelItem(0));
    ASSERT_TRUE(Until([&] { return form.FileSize == first.size(); }));  // the first file's read is under way
    form.SD_TreeView->setCurrentItem(form.SD_TreeView->topLevelItem(1));
    ASSERT_TRUE(Until([] { return !WorkerRunning.load(); }));
    // The first read stopped after the chunk under way, and the second file was read.
    EXPECT_LE(firstShown, size_t(kSdChunkMax));
    EXPECT_EQ(form.FileSize, second.size());
    EXPECT_EQ(form.SD_FileMemo->toPlainText().toStdString(), second);
    form.close();
}

}  // namespace
