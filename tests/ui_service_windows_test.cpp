// The pin test window and the SD card explorer: their rules as tables, the windows offscreen
// against ornix-sim, and (when ORNIX_SCREENSHOTS names a folder) their pictures for the README.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "engine/ComThreadUnit.h"
#include "sim/SimOptions.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/SimHarness.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/dialogs/McuPinRules.h"
#include "ui/main/AppWindows.h"
#include "ui/main/JobProgress.h"
#include "ui/main/SettingsFile.h"

namespace {

namespace fs = std::filesystem;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ornix-tester"));

PinTestResult With(std::initializer_list<std::pair<int, uint8_t>> faults) {
    PinTestResult r;
    r.fill(kPinNoFault);
    for (auto [index, value] : faults) r[size_t(index)] = value;
    return r;
}

std::set<int> BluePins(const PinTestResult& r) {
    std::set<int> blue;
    for (int pin = 1; pin <= kPackagePins; ++pin)
        if (PinColourOf(pin, r) == PinColour::Blue) blue.insert(pin);
    return blue;
}

TEST(PinRules, EvaluationAndColours) {
    struct Case {
        const char* what;
        PinTestResult result;
        std::vector<std::string> lines;
        std::set<int> blue;
    } cases[] = {
        {"all 255", With({}), {"Ошибок не найдено"}, {}},
        {"254 at index 6", With({{6, 254}}), {"Нога 1 замкнута на GND"}, {1}},
        {"10 at index 8", With({{8, 10}}), {"Нога 5 замкнута на ногу 7"}, {5, 7}},
        {"100 somewhere", With({{30, 100}}), {}, {31}},
        {"index 74", With({{74, 253}}), {"Нога 87 замкнута на +3V"}, {87}},
        {"first and last of each run", With({{0, 5}, {71, 72}, {75, 254}}),
         {"Нога 95 замкнута на ногу 100", "Нога 82 замкнута на ногу 85", "Нога 88 замкнута на GND"},
         {95, 100, 82, 85, 88}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PinFaultLines(c.result), c.lines) << c.what;
        EXPECT_EQ(BluePins(c.result), c.blue) << c.what;
    }
    // Pins 73 and 74 stay plain whatever the result; the other power pins keep their colours.
    PinTestResult worst;
    for (int i = 0; i < kTestedPins; ++i) worst[size_t(i)] = uint8_t(i % 3 == 0 ? 253 : i % 3 == 1 ? 254 : 75 - i);
    for (int pin : {73, 74, 89, 92}) EXPECT_EQ(PinColourOf(pin, worst), PinColour::ButtonFace) << pin;
    for (int pin : {4, 83, 94}) EXPECT_EQ(PinColourOf(pin, worst), PinColour::Red) << pin;
    for (int pin : {3, 84, 93}) EXPECT_EQ(PinColourOf(pin, worst), PinColour::Black) << pin;
    // The package table is the inverse of the pin table.
    for (int i = 0; i < kTestedPins; ++i) EXPECT_EQ(PackageEntry(PinOfTestIndex(i)), i) << i;
    EXPECT_EQ(PinOfTestIndex(76), 0);
}

TEST(PinRules, PictureAndListWidth) {
    for (auto [width, height, list] : {std::array{700, 500, 200}, {600, 500, 100}, {599, 500, 100}, {601, 500, 101}})
        EXPECT_EQ(ErrorListWidth(width, height), list) << width << "x" << height;
    // Every pin square lies outside the body and apart from every other, at any height.
    for (int height : {240, 500, 1000}) {
        const PackageBody body = BodyFor(height);
        std::vector<PinPlace> places;
        for (int pin = 1; pin <= kPackagePins; ++pin) places.push_back(PlaceOfPin(pin, body));
        for (size_t a = 0; a < places.size(); ++a) {
            const PinPlace& p = places[a];
            EXPECT_TRUE(p.x0 >= 0 && p.y0 >= 0 && p.x1 <= height && p.y1 <= height) << a + 1;
            for (size_t b = a + 1; b < places.size(); ++b) {
                const PinPlace& q = places[b];
                EXPECT_FALSE(p.x0 < q.x1 && q.x0 < p.x1 && p.y0 < q.y1 && q.y0 < p.y1) << a + 1 << " " << b + 1;
            }
        }
    }
    const PackageBody body = BodyFor(480);  // u = 20, pins 8 px
    EXPECT_EQ(body.pinSize, 8);
    // Anticlockwise from the top of the left side: pin 1 top left, 76 top right, 100 top left.
    const PinPlace p1 = PlaceOfPin(1, body), p76 = PlaceOfPin(76, body), p100 = PlaceOfPin(100, body);
    EXPECT_EQ((std::array{p1.x0, p1.y0, p1.x1}), (std::array{12, 44, 21}));
    EXPECT_EQ((std::array{p76.x0, p76.y0, p76.y1}), (std::array{428, 12, 21}));
    EXPECT_EQ(p100.x0, 44);
}

TEST(JobProgress, PercentAndTimeLeft) {
    struct Case {
        uint64_t done, total, elapsedMs;
        const char* text;
    } cases[] = {
        {0, 0, 5000, ""},           {0, 100, 5000, "0 %"},     {50, 100, 500, "50 %"},
        {25, 100, 3000, "25 %, осталось 0:09"}, {1, 100, 1000, "1 %, осталось 1:39"},
        {100, 100, 9000, "100 %"},  {150, 100, 9000, "100 %"},
        {128, 65536, 150, "0 %"},   {32768, 65536, 36000, "50 %, осталось 0:36"},
        {50, 100, 10000, "50 %, осталось 0:10"}, {50, 100, 9001, "50 %, осталось 0:10"},  // ten seconds: no ":010"
        {50, 100, 60000, "50 %, осталось 1:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JobProgressText(c.done, c.total, c.elapsedMs), c.text) << c.done << "/" << c.total;
}

// The application's windows on a simulator's port; the dialogs are driven as the engineer would.
class ServiceWindows : public ::testing::Test {
protected:
    void SetUp() override {
        // One file per process: ctest runs the tests of this program side by side.
        ini_ = fs::temp_directory_path() / ("ornix-service-windows-" + std::to_string(getpid()) + ".ini");
    }
    void TearDown() override {
        windows_.reset();
        sim_.reset();
        fs::remove(ini_);
    }
    void Start(const std::vector<std::string>& options, const std::function<void(ControllerState&)>& change = {}) {
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        if (change) change(config.Controller);
        sim_ = std::make_unique<SimHarness>(config);
        ASSERT_TRUE(sim_->Started());
        fs::remove(ini_);
        ASSERT_TRUE(SettingsFile(ini_.string()).WriteString(kPortSection, kLastPortKey, sim_->PortName()));
        windows_ = std::make_unique<TAppWindows>(ini_.string());
    }
    static bool WaitUntil(const std::function<bool()>& done) { return WaitForUi(done, 10000); }
    static bool Idle() { return !WorkerRunning.load(); }
    static QStringList Lines(QListWidget* list) {
        QStringList lines;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    }
    // The window as the README shows it.
    static void Picture(QWidget& window, const char* name) {
        for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const fs::path target = fs::path(std::getenv("ORNIX_SCREENSHOTS")) / name;
        EXPECT_TRUE(window.grab().save(QString::fromStdString(target.string()), "PNG")) << target;
    }

    fs::path ini_;
    std::unique_ptr<SimHarness> sim_;
    std::unique_ptr<TAppWindows> windows_;
};

TEST_F(ServiceWindows, PinTestRestartsOnEveryActivation) {
    Start({"--pin-short", "8=10", "--pin-short", "6=gnd", "--pin-short", "74=3v", "--pin-short", "30=100"});
    TTestMcuPinsForm& form = windows_->TestMcuPinsForm;
    form.resize(760, 480);
    form.show();
    form.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.ErrorListBox->count() == 3; }));
    EXPECT_EQ(Lines(form.ErrorListBox), (QStringList{"Нога 1 замкнута на GND", "Нога 5 замкнута на ногу 7",
                                                     "Нога 87 замкнута на +3V"}));
    EXPECT_EQ(form.ErrorListBox->width(), 280);

    // The next activation starts from a clean result: the controller now finds nothing.
    sim_->WithBus([](SimBus& bus) { bus.Main().State.Service.PinResult.fill(255); });
    form.FormActivate();
    EXPECT_EQ(form.ErrorListBox->count(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.ErrorListBox->count() == 1; }));
    EXPECT_EQ(form.ErrorListBox->item(0)->text(), "Ошибок не найдено");
    form.close();
}

TEST_F(ServiceWindows, ExplorerListsTheCardAndShowsFilesChunkByChunk) {
    std::string log(2000, 'x');
    for (size_t i = 0; i < log.size(); i += 50) log.replace(i, 1, "\n");
    log.replace(100, 12, "\xC6\xF3\xF0\xED\xE0\xEB 1251 ");  // "Журнал" in Windows-1251
    std::string zero = "ABC";
    zero += '\0';
    zero += "hidden";
    Start({}, [&](ControllerState& s) {
        s.Service.SdFiles = {{"EVENTS.LOG", {log.begin(), log.end()}}, {"ZERO.BIN", {zero.begin(), zero.end()}},
                             {"\xCE\xD2\xD7\xC5\xD2.TXT", {}}};
    });
    TSdCardExplorerForm& form = windows_->SdCardExplorerForm;
    form.resize(760, 420);
    form.show();
    form.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.SD_TreeView->topLevelItemCount() == 3; }));
    EXPECT_EQ(form.SD_TreeView->topLevelItem(2)->text(0), "ОТЧЕТ.TXT");

    int memoChanges = 0;
    QObject::connect(form.SD_FileMemo, &QPlainTextEdit::textChanged, [&] { ++memoChanges; });
    form.SD_TreeView->setCurrentItem(form.SD_TreeView->topLevelItem(0));
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.FileText.size() > 1990; }));
    EXPECT_EQ(memoChanges, 1 + 3);  // cleared by the size step, then three appends
    EXPECT_EQ(form.FileSize, 2000u);
    EXPECT_EQ(form.LastChunkLength, 464);
    EXPECT_NE(form.FileText.find("Журнал 1251 "), std::string::npos);
    EXPECT_FALSE(windows_->Form1.JobProgressBar->isVisibleTo(&windows_->Form1));

    // "Сохранить как..." writes the file exactly as the card holds it, a zero byte included.
    const fs::path saved = fs::temp_directory_path() / ("ornix-sd-" + std::to_string(getpid()));
    QString suggested;
    form.AskSavePath = [&](const QString& name) {
        suggested = name;
        return QString::fromStdString(saved.string());
    };
    const auto savedBytes = [&] {
        std::ifstream in(saved, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    ASSERT_TRUE(form.SdSaveAsButton->isEnabled());
    form.SdSaveAsButton->click();
    EXPECT_EQ(suggested, "EVENTS.LOG");
    EXPECT_EQ(savedBytes(), log);

    form.SD_TreeView->setCurrentItem(form.SD_TreeView->topLevelItem(1));
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.FileSize == zero.size(); }));
    EXPECT_EQ(form.FileText, "ABC");
    EXPECT_EQ(form.SD_FileMemo->toPlainText(), "ABC");
    form.SdSaveAsButton->click();
    EXPECT_EQ(savedBytes(), zero);
    EXPECT_TRUE(form.SdSaveLabel->text().startsWith("Сохранено: 10 байт")) << form.SdSaveLabel->text().toStdString();
    fs::remove(saved);

    // A card emptied meanwhile: the next activation leaves the tree empty.
    sim_->WithBus([](SimBus& bus) { bus.Main().State.Service.SdFiles.clear(); });
    form.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.SD_TreeView->topLevelItemCount() == 0; }));
    form.close();
}

// A long read ends when the explorer closes, alone or between two poll passes; the poll goes on.
TEST_F(ServiceWindows, ClosingTheExplorerStopsItsFileRead) {
    const std::string big(60000, 'x');
    Start({"--pace"}, [&](ControllerState& s) { s.Service.SdFiles = {{"BIG.LOG", {big.begin(), big.end()}}}; });
    TSdCardExplorerForm& form = windows_->SdCardExplorerForm;
    form.show();
    form.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && form.SD_TreeView->topLevelItemCount() == 1; }));
    for (bool polling : {false, true}) {
        if (polling) windows_->Form1.PollButton->click();
        form.SD_TreeView->setCurrentItem(nullptr);
        form.SD_TreeView->setCurrentItem(form.SD_TreeView->topLevelItem(0));
        ASSERT_TRUE(WaitUntil([&] { return form.FileSize == big.size() && !form.FileText.empty(); })) << polling;
        EXPECT_FALSE(form.SdSaveAsButton->isEnabled());  // a part is not offered as the file
        form.close();
        const size_t shown = form.FileText.size();
        // At 9600 bit/s a chunk takes under a second; the whole file would take over a minute.
        if (polling) {
            ASSERT_TRUE(WaitUntil([&] { return windows_->Form1.JobProgressBar->isHidden(); }));
            EXPECT_TRUE(WorkerRunning.load());
            windows_->Form1.PollButton->click();
        }
        ASSERT_TRUE(WaitUntil(Idle)) << polling;
        EXPECT_LT(form.FileText.size(), big.size());
        EXPECT_LE(form.FileText.size(), shown + 768) << polling;
        form.show();
    }
    form.close();
}

// Drawn by make screenshots only: the simulator's built-in card and a few shorted pins.
TEST_F(ServiceWindows, Screenshots) {
    const char* dir = std::getenv("ORNIX_SCREENSHOTS");
    if (!dir || !*dir) GTEST_SKIP() << "ORNIX_SCREENSHOTS is not set";
    Start({"--pin-short", "8=10", "--pin-short", "6=gnd", "--pin-short", "74=3v", "--pin-short", "40=41"});
    TTestMcuPinsForm& pins = windows_->TestMcuPinsForm;
    pins.show();
    pins.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && pins.ErrorListBox->count() == 4; }));
    Picture(pins, "pins.png");
    pins.close();

    TSdCardExplorerForm& sd = windows_->SdCardExplorerForm;
    sd.show();
    sd.FormActivate();
    ASSERT_TRUE(WaitUntil([&] { return Idle() && sd.SD_TreeView->topLevelItemCount() > 1; }));
    sd.SD_TreeView->setCurrentItem(sd.SD_TreeView->topLevelItem(1));
    ASSERT_TRUE(WaitUntil([&] { return Idle() && !sd.FileText.empty(); }));
    Picture(sd, "sd.png");
    sd.close();
}

}  // namespace
