// The settings entries of the "Сервис" menu offscreen against ornix-sim: one controller's
// settings saved, compared with another's, written onto it row by row and verified; a second
// click while a job runs, a job handed to a running poll, and the line lost in the middle of
// a restore.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "commands/SettingsReport.h"
#include "engine/ComThreadUnit.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/SimHarness.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/SettingsDiffRules.h"
#include "ui/main/AppWindows.h"
#include "ui/main/StatusPanelBar.h"

namespace {

namespace fs = std::filesystem;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ornix-tester"));

constexpr int kMessagePanel = 4;
constexpr int kJobMs = 30000;  // a whole read at 9600 bit/s takes a few seconds

SimConfig Quiet() {
    SimConfig c;
    c.Controller.Pouring.Customers = false;
    return c;
}

// Another controller of the same kind, set up otherwise.
SimConfig Commissioned() {
    SimConfig c = Quiet();
    c.Controller.NightBright = 55;
    c.Controller.TabloCutOff = 250;
    c.Controller.Status.Channels[0].PumpRampUpMs = 1200;
    c.Controller.Status.Channels[1].VrxAddress = 9;
    c.Controller.Pouring.Channels[0].PricePerLitre = 5710;
    c.Controller.Status.Flowmeters[2].Type = 2;  // quadrature
    return c;
}

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ornix-settings-window-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        target_ = std::make_unique<SimHarness>(Quiet());
        ASSERT_TRUE(target_->Started()) << target_->Error();
        std::ofstream(dir_ / "t.ini") << "[Port]\nLast Port=" + target_->PortName() + "\n";
        windows_ = std::make_unique<TAppWindows>((dir_ / "t.ini").string());
        windows_->Form1.show();
        Actions().AskPath = [this](SettingsTask task) { return QString::fromStdString(paths_[task]); };
    }
    void TearDown() override {
        windows_.reset();
        fs::remove_all(dir_);
    }

    TForm1& Form() { return windows_->Form1; }
    TSettingsActions& Actions() { return windows_->SettingsActions; }
    TSettingsDiffForm& Diff() { return windows_->SettingsDiffForm; }
    // The message panel, less the controller's own faults the window adds after " | ".
    std::string Message() {
        const std::string text = Form().MainStatusBar->PanelText(kMessagePanel).toStdString();
        return text.substr(0, text.find(" | "));
    }
    bool JobDone() { return WaitForUi([this] { return !Actions().Running(); }, kJobMs); }
    // Another port for the next job; a worker still ending would make the window poll the new one.
    void Use(SimHarness& sim) {
        EXPECT_TRUE(WorkerDone());
        Form().SetComPort(sim.PortName());
    }

    // The rows the table shows, as the engineer reads them.
    std::vector<std::vector<std::string>> Table() {
        std::vector<std::vector<std::string>> rows;
        QTableWidget* t = Diff().DiffTable;
        for (int r = 0; r < t->rowCount(); ++r) {
            rows.emplace_back();
            for (int c = 0; c < t->columnCount(); ++c) rows.back().push_back(t->item(r, c)->text().toStdString());
        }
        return rows;
    }

    fs::path dir_;
    std::unique_ptr<SimHarness> target_;
    std::unique_ptr<TAppWindows> windows_;
    std::map<SettingsTask, std::string> paths_;
};

TEST_F(SettingsWindow, OneControllersSettingsAreComparedAndWrittenOntoAnotherAndVerified) {
    SimHarness source(Commissioned());
    ASSERT_TRUE(source.Started());
    const std::string file = (dir_ / "source.json").string();
    paths_ = {{SettingsTask::Save, file}, {SettingsTask::Compare, file}, {SettingsTask::Restore, file}};

    Use(source);
    Form().SaveSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    EXPECT_EQ(Message(), "Настройки сохранены в " + file);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_FALSE(Form().JobProgressBar->isVisible());

    Use(*target_);
    Form().CompareSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(Diff().isVisible());
    EXPECT_FALSE(Diff().RestoreMode());
    EXPECT_FALSE(Diff().WriteSelectedButton->isVisible());
    EXPECT_TRUE(Diff().DiffTable->isColumnHidden(TSettingsDiffForm::ResultColumn));
    const std::vector<SettingDifference> differences = Diff().Differences();
    ASSERT_GE(differences.size(), 4u);
    const auto table = Table();
    for (size_t i = 0; i < differences.size(); ++i) {
        const DiffRowTexts texts = DiffRowTextsOf(differences[i]);
        EXPECT_EQ(table[i][0], texts.Group);
        EXPECT_EQ(table[i][1], texts.Caption);
        EXPECT_EQ(table[i][2], texts.Controller);
        EXPECT_EQ(table[i][3], texts.File);
        EXPECT_NE(texts.Controller, texts.File) << texts.Caption;
    }
    EXPECT_EQ(Message(), CompareSummary(differences.size(), file));
    EXPECT_EQ(source.MainState().NightBright, 55) << "a comparison writes nothing";
    EXPECT_EQ(target_->MainState().NightBright, 30);

    // Restore all but the first difference.
    Form().RestoreSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(Diff().RestoreMode());
    ASSERT_EQ(Diff().Differences().size(), differences.size());
    EXPECT_EQ(Diff().Checked(), std::vector<bool>(differences.size(), true));
    Diff().DiffTable->item(0, 0)->setCheckState(Qt::Unchecked);
    ASSERT_TRUE(Diff().WriteSelectedButton->isEnabled());
    Diff().WriteSelectedButton->click();
    Diff().WriteSelectedButton->click();  // a quick double click writes once
    EXPECT_FALSE(Diff().WriteSelectedButton->isEnabled());
    ASSERT_TRUE(JobDone());
    const auto written = Table();
    EXPECT_EQ(written[0][TSettingsDiffForm::ResultColumn], "");
    for (size_t i = 1; i < written.size(); ++i)
        EXPECT_EQ(written[i][TSettingsDiffForm::ResultColumn], "записано, проверено") << written[i][1];
    const std::string summary = "Записано и проверено " + std::to_string(differences.size() - 1) + " из " +
                                std::to_string(differences.size() - 1);
    EXPECT_EQ(Diff().SummaryLabel->text().toStdString(), summary);
    EXPECT_EQ(Message(), summary);

    // Only the row left unchecked still differs.
    Form().CompareSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_EQ(Diff().Differences().size(), 1u);
    EXPECT_EQ(Diff().Differences()[0].Key, differences[0].Key);

    // The commissioning record of the controller as it is now, as PDF and as HTML.
    for (const char* name : {"record.pdf", "record.html"}) {
        paths_[SettingsTask::Report] = (dir_ / name).string();
        Form().ReportAction->trigger();
        ASSERT_TRUE(JobDone());
        EXPECT_EQ(Message(), "Отчёт записан в " + paths_[SettingsTask::Report]);
    }
    std::ifstream pdf(dir_ / "record.pdf", std::ios::binary);
    std::string head(5, '\0');
    pdf.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    std::stringstream html;
    html << std::ifstream(dir_ / "record.html").rdbuf();
    EXPECT_NE(html.str().find("ornix-tester "), std::string::npos);
    EXPECT_NE(html.str().find(">1200<"), std::string::npos) << "the restored pump ramp-up";
}

TEST_F(SettingsWindow, ASecondClickWaitsAPollTakesTheJobAndALostLineIsReported) {
    const std::string saved = (dir_ / "a.json").string();
    paths_ = {{SettingsTask::Save, saved}, {SettingsTask::Report, (dir_ / "r.txt").string()}};

    // A report needs a format: nothing is read for a file that is neither HTML nor PDF.
    Form().ReportAction->trigger();
    EXPECT_FALSE(Actions().Running());
    EXPECT_EQ(Message(), ReportFormatRefusal(paths_[SettingsTask::Report]));

    // The poll runs: the read is handed over and the poll goes on after it.
    Form().PollButton->click();
    ASSERT_TRUE(WaitForUi([] { return WorkerRunning.load(); }));
    Form().SaveSettingsAction->trigger();
    Form().CompareSettingsAction->trigger();  // quick second click: said, not started
    EXPECT_EQ(Message(), SettingsBusyText(SettingsTask::Save));
    ASSERT_TRUE(JobDone());
    EXPECT_EQ(Message(), "Настройки сохранены в " + saved);
    EXPECT_TRUE(WorkerRunning.load());
    EXPECT_TRUE(Form().PollButton->isChecked());
    Form().PollButton->click();
    ASSERT_TRUE(WorkerDone());

    // A restore of everything from the commissioned controller's file, and the line lost while
    // it writes: the rows written so far say so, the rest "не записано", and nothing hangs.
    SimHarness source(Commissioned());
    const std::string file = (dir_ / "source.json").string();
    paths_[SettingsTask::Save] = paths_[SettingsTask::Restore] = file;
    Use(source);
    Form().SaveSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    // Paced at the line rate, the writes take long enough to pull the cable between two.
    SimConfig paced = Quiet();
    paced.Pace = true;
    target_ = std::make_unique<SimHarness>(paced);
    Use(*target_);
    Form().RestoreSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(Diff().RestoreMode());
    const size_t rows = Diff().Differences().size();
    ASSERT_GE(rows, 4u);
    // A read stopped by hand leaves no file behind.
    // Under way, and far from its end (the bar counts per mille).
    const auto halfway = [this] {
        return Form().JobProgressBar->isVisible() && Form().JobProgressBar->value() > 0 &&
               Form().JobProgressBar->value() < 500;
    };
    paths_[SettingsTask::Save] = (dir_ / "stopped.json").string();
    Form().SaveSettingsAction->trigger();
    ASSERT_TRUE(WaitForUi(halfway));
    Form().StopSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    EXPECT_EQ(Message().rfind("Настройки прочитаны не все", 0), 0u) << Message();
    EXPECT_FALSE(fs::exists(paths_[SettingsTask::Save]));
    ASSERT_TRUE(WorkerDone());

    Diff().WriteSelectedButton->click();
    ASSERT_TRUE(WaitForUi(halfway));
    target_.reset();  // the cable pulled
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(WorkerDone());
    const auto table = Table();
    size_t verified = 0;
    for (const auto& row : table) verified += row[TSettingsDiffForm::ResultColumn] == "записано, проверено";
    EXPECT_LT(verified, rows);
    EXPECT_EQ(table.back()[TSettingsDiffForm::ResultColumn].rfind("не записано", 0), 0u);
    const std::string summary = Diff().SummaryLabel->text().toStdString();
    EXPECT_EQ(summary.rfind("Записано и проверено " + std::to_string(verified) + " из " + std::to_string(rows), 0), 0u)
        << summary;
    EXPECT_TRUE(Diff().WriteSelectedButton->isEnabled()) << "the engineer may try again once the line is back";
    EXPECT_FALSE(Form().JobProgressBar->isVisible());
}

TEST_F(SettingsWindow, AFileOfAnotherDeviceIsRefusedBeforeAnythingIsWritten) {
    SimConfig other = Commissioned();
    other.Controller.DeviceType = 34;
    SimHarness source(other);
    const std::string file = (dir_ / "other.json").string();
    paths_ = {{SettingsTask::Save, file}, {SettingsTask::Restore, file}};
    Use(source);
    Form().SaveSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    Use(*target_);
    Form().RestoreSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(WorkerDone());
    ASSERT_FALSE(Diff().Differences().empty());
    Diff().WriteSelectedButton->click();
    EXPECT_FALSE(Actions().Running()) << "nothing is started";
    EXPECT_FALSE(WorkerRunning.load());
    const std::string summary = Diff().SummaryLabel->text().toStdString();
    EXPECT_EQ(summary.rfind("Не записано: Файл снят с другого устройства", 0), 0u) << summary;
    EXPECT_EQ(Message(), summary);
    EXPECT_EQ(target_->MainState().NightBright, 30);
    for (const auto& row : Table()) EXPECT_EQ(row[TSettingsDiffForm::ResultColumn], "");
}

TEST_F(SettingsWindow, CompareTableScreenshot) {
    // The README's picture; runs only when ORNIX_SCREENSHOTS names the folder to write it to.
    const char* folder = std::getenv("ORNIX_SCREENSHOTS");
    if (!folder || !*folder) GTEST_SKIP() << "ORNIX_SCREENSHOTS is not set";
    SimHarness source(Commissioned());
    const std::string file = (dir_ / "station-7.json").string();
    paths_ = {{SettingsTask::Save, file}, {SettingsTask::Compare, file}};
    Use(source);
    Form().SaveSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    Use(*target_);
    Form().CompareSettingsAction->trigger();
    ASSERT_TRUE(JobDone());
    ASSERT_TRUE(Diff().isVisible());
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const fs::path target = fs::path(folder) / "settings-compare.png";
    EXPECT_TRUE(Diff().grab().save(QString::fromStdString(target.string()), "PNG")) << target;
}

}  // namespace
