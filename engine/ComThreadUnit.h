#pragma once
// The worker: one thread per job (a single operation or a looping job such as
// the poll cycle). It owns ComPort while it runs and reaches the windows only
// through display steps handed to the UI thread with Synchronize.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/DeviceState.h"
#include "engine/Views.h"

class TComThread;

// An operation: everything it needs is staged in the worker's fields.
using Op = void (*)(TComThread& w);

class TComThread : public TDeviceState {
public:
    // Created suspended; Start runs the body once.
    explicit TComThread(const TViews& views);
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void Start();
    void Terminate() { terminated_.store(true, std::memory_order_release); }
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    // Only when FreeOnTerminate is false: blocks until the body has ended.
    void WaitFor();

    // Runs a display step on the UI thread; returns after it has run.
    void Synchronize(const std::function<void()>& step) { Ui.Dispatcher->Run(step); }

    // Start rule, UI side: hands over `op` together with the step that stages its values.
    // The UI thread never writes the worker's fields itself: the worker runs every staging
    // step on its own thread, in the order they came, just before it runs a handed-over
    // operation. So a staging step must capture its values, never refer to window state.
    void HandOver(Op op, std::function<void(TComThread&)> stage = {});
    Op Pending() const { return PendingOp.load(std::memory_order_acquire); }
    // Worker side: applies the staged values and returns the operation in the slot, which
    // clears the slot itself when it starts (nullptr when none is waiting).
    Op TakeHandedOver();
    // Step 1 of every operation: a handed-over operation must not run twice.
    void ClearPendingIf(Op self);

    // Shows PollStatusText in panel 3 and CommandStatusText in panel 4, throttled.
    void ShowStatus();
    // Long jobs end when asked to or when the port can no longer be written.
    bool ShouldStop() const;

    TViews Ui;
    bool FreeOnTerminate = true;  // the body deletes the worker when it ends
    int64_t CounterFrequency = 0; // ticks per second of the status clock
    std::string PollStatusText;   // panel 3
    std::string CommandStatusText;// panel 4
    uint8_t DeviceAddress = 0;    // byte 0 of every request
    int32_t BitRate = 0;
    // The pending-operation slot. It lives in the worker, so "the worker it runs on" is this one.
    std::atomic<Op> PendingOp{nullptr};

private:
    void Body();
    void BeginOperationUi();
    void EndOperationUi();
    void WorkerFinished();

    std::atomic<bool> terminated_{false};
    std::mutex stagingMutex_;  // guards staged_ and orders it with the pending slot
    std::vector<std::function<void(TComThread&)>> staged_;
    std::thread thread_;  // only when FreeOnTerminate is false
    bool started_ = false;
};

// Process-wide runner state. WorkerRunning is set by CreateComThread and cleared by the
// worker's last display step; CurrentWorker is valid only while it is set.
extern std::atomic<bool> WorkerRunning;
extern TComThread* CurrentWorker;
extern uint64_t LastStatusShown;  // ms of the last status update that was shown

// Milliseconds of a steady clock; tests replace it to make the throttle deterministic.
using MsClock = uint64_t (*)();
extern MsClock StatusClock;
uint64_t SteadyClockMs();

// The throttle rule: shows when over 50 ms have passed since the last shown update
// (and remembers the time), otherwise only when the port is not announcing a send.
bool StatusUpdateDue(uint64_t nowMs, uint64_t& lastShownMs, bool sending);

// Creates a suspended, self-freeing worker, makes it current and sets WorkerRunning.
TComThread* CreateComThread(const TViews& views, const std::string& portName, int32_t bitRate);

// The start rule for a user action: hands `op` with its staged parameters to the
// running worker, or creates and starts a worker for it. Returns true when it started one.
bool StartOperation(const TViews& views, const std::string& portName, int32_t bitRate, Op op,
                    const std::function<void(TComThread&)>& stage = {});

// For closing or port changes: asks the running worker to stop and keeps calling
// `processEvents` (which must run pending display steps) until WorkerRunning is clear.
void TerminateWorkerAndWait(const std::function<void()>& processEvents);

// Marks the ports of the port menu that cannot be opened and reopens the menu
// when any was marked. Runs without opening ComPort.
void ProbePorts(TComThread& w);

// The port check run by a worker, for a port whose open may take long: the worker has opened
// it (a failure is shown by the worker itself), so this only says so.
void ReportPortOpened(TComThread& w);

// Whether a serial device can be opened exclusively right now ("ttyS0" → /dev/ttyS0).
bool PortCanBeOpened(const std::string& portName);
