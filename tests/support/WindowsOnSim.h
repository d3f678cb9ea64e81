#pragma once
// The application's windows on a quiet virtual controller (no customers pour), for window tests
// that press buttons and click cells and then look at what reached the controller. Header only:
// the test-support library is built without Qt.
#include <QCoreApplication>
#include <QMouseEvent>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/ComThreadUnit.h"
#include "tests/support/SimHarness.h"
#include "ui/main/AppWindows.h"
#include "ui/widgets/ReportView.h"

// Handles UI events (display steps among them) until `done` holds or the time is up.
inline bool WaitForUi(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Until the operation a click started has run and its worker has ended.
inline bool WorkerDone() { return WaitForUi([] { return !WorkerRunning.load(); }); }

// A mouse press on a cell of a report view (column 0 is the caption column).
inline void ClickCell(ReportView* view, int row, int column) {
    view->ScrollToRow(row);
    const QPointF at = view->CellRect(row, column).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &press);
}

class WindowsOnSim {
public:
    // Another controller set-up (flowmeter types, options) when the quiet one is not enough.
    explicit WindowsOnSim(const SimConfig& config = Quiet()) : sim_(config) {
        char pattern[] = "/tmp/ornix-windows-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        std::ofstream(dir_ + "/t.ini") << "[Port]\nLast Port=" + sim_.PortName() + "\n";
        windows_ = std::make_unique<TAppWindows>(dir_ + "/t.ini");
        windows_->Form1.show();
    }
    ~WindowsOnSim() {
        windows_.reset();
        std::filesystem::remove_all(dir_);
    }
    SimHarness& Sim() { return sim_; }
    TAppWindows& Windows() { return *windows_; }

private:
    static SimConfig Quiet() {
        SimConfig config;
        config.Controller.Pouring.Customers = false;
        return config;
    }
    SimHarness sim_;
    std::string dir_;
    std::unique_ptr<TAppWindows> windows_;
};
