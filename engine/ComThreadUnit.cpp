#include "engine/ComThreadUnit.h"

#include <chrono>
#include <exception>

#include "engine/CommandCatalog.h"
#include "link/ComPortUnit.h"
#include "link/ResultCodes.h"
#include "link/PosixSerialLine.h"

std::atomic<bool> WorkerRunning{false};
TComThread* CurrentWorker = nullptr;
uint64_t LastStatusShown = 0;

uint64_t SteadyClockMs() {
    // Converted by the library rather than ticks * 1000 / frequency, which would overflow
    // a 64-bit count of nanoseconds after some months of uptime.
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

MsClock StatusClock = SteadyClockMs;

namespace {
constexpr uint64_t kStatusPeriodMs = 50;
}  // namespace

bool StatusUpdateDue(uint64_t nowMs, uint64_t& lastShownMs, bool sending) {
    if (nowMs - lastShownMs > kStatusPeriodMs) {
        lastShownMs = nowMs;
        return true;
    }
    // A result always gets through; only a fresh "..." announcement may be dropped.
    return !sending;
}

TComThread::TComThread(const TViews& views) : Ui(views) {
    using Period = std::chrono::steady_clock::period;
    CounterFrequency = int64_t(Period::den / Period::num);
    // The port the worker owns describes its requests with the command catalog.
    ComPort.Describer = &DescribeRequestAtRate;
}

TComThread::~TComThread() {
    if (thread_.joinable()) thread_.join();
}

void TComThread::Start() {
    if (started_) return;
    started_ = true;
    if (FreeOnTerminate) {
        // The thread object stays local: the body deletes the worker, never a running std::thread.
        std::thread(&TComThread::Body, this).detach();
    } else {
        thread_ = std::thread(&TComThread::Body, this);
    }
}

void TComThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TComThread::HandOver(Op op, std::function<void(TComThread&)> stage) {
    if (!op) return;
    std::lock_guard lock(queueMutex_);
    queue_.push_back({op, std::move(stage)});
}

Op TComThread::Pending() const {
    std::lock_guard lock(queueMutex_);
    return queue_.empty() ? nullptr : queue_.front().Operation;
}

bool TComThread::Waiting(Op op) const {
    std::lock_guard lock(queueMutex_);
    for (const HandedOver& h : queue_)
        if (h.Operation == op) return true;
    return false;
}

Op TComThread::TakeHandedOver() {
    HandedOver taken{};
    {
        std::lock_guard lock(queueMutex_);
        if (queue_.empty()) return nullptr;
        taken = std::move(queue_.front());
        queue_.pop_front();
    }
    // Outside the lock: a staging step may take its time without holding up the UI thread.
    if (taken.Stage) taken.Stage(*this);
    return taken.Operation;
}

void TComThread::RunHandedOver() {
    size_t count = 0;
    {
        std::lock_guard lock(queueMutex_);
        count = queue_.size();
    }
    for (; count > 0; --count)
        if (Op op = TakeHandedOver()) op(*this);
}

void TComThread::DropWaiting() {
    std::lock_guard lock(queueMutex_);
    queue_.clear();
}

void TComThread::ShowStatus() {
    // An announcement the throttle is sure to drop is not handed over at all: a hand-over costs
    // two thread switches, and at high bit rates most announcements come too soon. The time of
    // the last shown update changes only in these steps, which this worker waits for.
    if (ComPort.Sending && StatusClock() - LastStatusShown <= kStatusPeriodMs) return;
    Synchronize([this] {
        if (!StatusUpdateDue(StatusClock(), LastStatusShown, ComPort.Sending)) return;
        Ui.Main->SetStatusText(PollStatusText);
        Ui.Main->SetErrorText(CommandStatusText);
    });
}

bool TComThread::ShouldStop() const {
    constexpr int kWriteFailed = -6;
    return Terminated() || ComPort.Error == kWriteFailed;
}

void TComThread::BeginOperationUi() {
    DeviceAddress = Ui.Main->State().DevAddr;
    Ui.Config->SetTimeButtonsEnabled(false);
}

void TComThread::EndOperationUi() {
    Ui.Main->ReleasePollButton();
    Ui.Main->SetSellTestButton("Тест продаж", true);
    Ui.Config->SetTimeButtonsEnabled(true);
    Ui.Config->SetFindNetAddrButtonCaption("Начать");
    Ui.Main->SetTestTabloButtonEnabled(true);
    Ui.Main->SetReadMemButtonCaption("ReadMem");
}

void TComThread::WorkerFinished() {
    WorkerRunning.store(false, std::memory_order_release);
}

void TComThread::RunGuarded(Op op) {
    try {
        op(*this);
    } catch (const std::exception& e) {
        // Nothing may leave the thread; the operation ends as if it had failed.
        PollStatusText = e.what();
        ShowStatus();
    }
}

void TComThread::RunWaiting(bool& portOpen, bool& uiBegun) {
    while (Op next = Pending()) {
        // The probe needs no port and leaves the buttons alone.
        if (next == ProbePorts) {
            RunGuarded(TakeHandedOver());
            continue;
        }
        if (!uiBegun) {
            Synchronize([this] { BeginOperationUi(); });
            uiBegun = true;
        }
        if (!portOpen) {
            // Connecting to a converter takes a network's time: "Опрос" released gives it up.
            ComPort.GiveUpOpen = [this] { return Terminated(); };
            const int openResult = ComPort.Open();
            ComPort.GiveUpOpen = nullptr;
            if (openResult != 0) {
                PollStatusText = ComPort.ResultText;
                // Why it failed goes beside, into the message panel.
                CommandStatusText = ComPort.OpenFailureReason;
                // A send left marked by an earlier failed job must not let the throttle drop this.
                ComPort.Sending = false;
                ShowStatus();
                // Every waiting operation would meet the same closed port; the failure is shown.
                DropWaiting();
                return;
            }
            portOpen = true;
            ComPort.SetBitRate(BitRate);
            // A write failure of an earlier job must not stop this one before its first exchange.
            ComPort.Error = 0;
        }
        if (Op op = TakeHandedOver()) RunGuarded(op);
    }
}

void TComThread::Body() {
    std::string portName;
    Synchronize([&] { portName = Ui.Main->PortPanelText(); });
    ComPort.PortName = portName;

    const bool freeSelf = FreeOnTerminate;
    bool portOpen = false;
    bool uiBegun = false;
    for (;;) {
        RunWaiting(portOpen, uiBegun);
        if (portOpen) {
            // A line that went away (a converter's connection lost) says why beside the failed write.
            if (const std::string lost = ComPort.LineLostReason(); !lost.empty() && ComPort.Error == kWriteFailed) {
                CommandStatusText = lost;
                ComPort.Sending = false;
                ShowStatus();
            }
            ComPort.Close();
            portOpen = false;
        }
        // The last look at the queue and the end of WorkerRunning happen in one step on the UI
        // thread, which is where hand-overs come from: one that came while the port closed runs.
        bool finished = false;
        Synchronize([&] {
            if (Pending() != nullptr) return;
            if (uiBegun) EndOperationUi();
            WorkerFinished();
            finished = true;
        });
        if (finished) break;
    }
    // After WorkerFinished the window may create the next worker; this one only frees itself.
    if (freeSelf) delete this;
}

TComThread* CreateComThread(const TViews& views, const std::string& portName, int32_t bitRate) {
    WorkerRunning.store(true, std::memory_order_release);
    auto* worker = new TComThread(views);
    worker->FreeOnTerminate = true;
    CurrentWorker = worker;
    ComPort.PortName = portName;
    worker->BitRate = bitRate;
    return worker;
}

bool StartOperation(const TViews& views, const std::string& portName, int32_t bitRate, Op op,
                    const std::function<void(TComThread&)>& stage) {
    const bool created = !WorkerRunning.load(std::memory_order_acquire);
    if (created) CreateComThread(views, portName, bitRate);
    CurrentWorker->HandOver(op, stage);
    if (created) CurrentWorker->Start();
    return created;
}

void TerminateWorkerAndWait(const std::function<void()>& processEvents) {
    if (!WorkerRunning.load(std::memory_order_acquire)) return;
    CurrentWorker->Terminate();
    while (WorkerRunning.load(std::memory_order_acquire)) processEvents();
}

bool PortCanBeOpened(const std::string& portName) {
    // The exclusive open the port itself starts with, so "busy" means the tester could not use it.
    return SerialPortIsFree(SerialDevicePath(portName));
}

void ProbePorts(TComThread& w) {
    w.Synchronize([&w] {
        const auto names = w.Ui.Main->PortMenuNames();
        bool marked = false;
        for (size_t i = 0; i < names.size(); ++i) {
            if (PortCanBeOpened(names[i])) continue;
            w.Ui.Main->MarkPortBusy(int(i));
            marked = true;
        }
        if (marked) w.Ui.Main->PopupPortMenu(0, 0);
    });
}

void ReportPortOpened(TComThread& w) {
    w.PollStatusText = ComPort.ResultText;
    w.CommandStatusText = "OK";
    w.ShowStatus();
}
