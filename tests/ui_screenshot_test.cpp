// Takes the README's picture of the main window after a poll of the simulated controller.
// Runs only when ORNIX_SCREENSHOT names the file to write (scripts/screenshots.sh sets it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine/ComThreadUnit.h"
#include "tests/support/SimHarness.h"
#include "ui/main/AppWindows.h"
#include "ui/main/SettingsFile.h"
#include "ui/widgets/ReportView.h"

namespace {

TEST(Screenshot, MainWindowAfterAPoll) {
    const char* target = std::getenv("ORNIX_SCREENSHOT");
    if (!target || !*target) GTEST_SKIP() << "ORNIX_SCREENSHOT is not set";

    static int argc = 1;
    static char name[] = "ornix-tester";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    SimHarness sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const auto ini = std::filesystem::temp_directory_path() / "ornix-screenshot.ini";
    std::filesystem::remove(ini);
    ASSERT_TRUE(SettingsFile(ini.string()).WriteString(kPortSection, kLastPortKey, sim.PortName()));

    {
        TAppWindows windows(ini.string());
        TForm1& form = windows.Form1;
        form.show();
        form.PollButton->click();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (WorkerRunning && std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(WorkerRunning.load());
        ASSERT_FALSE(form.TRK_StatusListView->CellText(0, 0).isEmpty());
        // Let the window paint its final state before it is grabbed.
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(form.grab().save(QString::fromLocal8Bit(target), "PNG")) << target;
    }
    std::filesystem::remove(ini);
}

}  // namespace
