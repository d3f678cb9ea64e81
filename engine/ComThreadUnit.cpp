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
    std::lock_guard lock(stagingMutex_);
    if (stage) staged_.push_back(std::move(stage));
    PendingOp.store(op, std::memory_order_release);
}

Op TComThread::TakeHandedOver() {
    std::vector<std::function<void(TComThread&)>> steps;
    Op op = nullptr;
    {
        std::lock_guard lock(stagingMutex_);
        op = Pending();
        if (op) steps.swap(staged_);
    }
    for (const auto& step : steps) step(*this);
    return op;
}

void TComThread::ClearPendingIf(Op self) {
    Op expected = self;
    PendingOp.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
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

void TComThread::Body() {
    std::string portName;
    Synchronize([&] { portName = Ui.Main->PortPanelText(); });
    ComPort.PortName = portName;

    if (Op first = Pending(); first == ProbePorts) {
        ProbePorts(*this);
    } else if (first != nullptr) {
        Synchronize([this] { BeginOperationUi(); });
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
        } else {
            ComPort.SetBitRate(BitRate);
            // A write failure of an earlier job must not stop this one before its first exchange.
            ComPort.Error = 0;
            // Read again: the window may have replaced the operation meanwhile.
            if (Op op = TakeHandedOver()) {
                try {
                    op(*this);
                } catch (const std::exception& e) {
                    // Nothing may leave the thread; the job ends as if it had failed.
                    PollStatusText = e.what();
                    ShowStatus();
                }
            }
            // A line that went away (a converter's connection lost) says why beside the failed write.
            if (const std::string lost = ComPort.LineLostReason(); !lost.empty() && ComPort.Error == kWriteFailed) {
                CommandStatusText = lost;
                ComPort.Sending = false;
                ShowStatus();
            }
            ComPort.Close();
        }
        Synchronize([this] { EndOperationUi(); });
    }
    const bool freeSelf = FreeOnTerminate;
    Synchronize([this] { WorkerFinished(); });
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
    w.ClearPendingIf(ProbePorts);
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
    w.ClearPendingIf(ReportPortOpened);
    w.PollStatusText = ComPort.ResultText;
    w.CommandStatusText = "OK";
    w.ShowStatus();
}
