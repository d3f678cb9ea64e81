#pragma once
// The worker: one thread per job (a single operation or a looping job such as
// the poll cycle). It owns ComPort while it runs and reaches the windows only
// through display steps handed to the UI thread with Synchronize.
#include <atomic>
#include <cstdint>
#include <deque>
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
    // Hand-overs queue up: each runs once, in the order they came, right after its own
    // staging step, so two writes of the same setting each send their own value. The UI
    // thread never writes the worker's fields itself, so a staging step must capture its
    // values, never refer to window state.
    void HandOver(Op op, std::function<void(TComThread&)> stage = {});
    // The first operation waiting (nullptr when none is).
    Op Pending() const;
    // Whether a hand-over of `op` waits: a read it would supersede gives way to it.
    bool Waiting(Op op) const;
    // Worker side: takes the first waiting operation off the queue, applies its staged
    // values and returns it (nullptr when none is waiting).
    Op TakeHandedOver();
    // The hand-over point of a looping job: runs every operation waiting now, in order;
    // what comes meanwhile waits for the next point, so the job's own work goes on.
    void RunHandedOver();

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
    // Set by the SD card explorer when it closes: the file reads it staged with a number up to
    // this one end after the chunk on the wire or do not start, and the poll, if it runs, goes on.
    std::atomic<uint32_t> SdReadsEnded{0};
    uint32_t SdReadNumber = 0;  // staged with a file read; 0: a read no window can end

private:
    struct HandedOver {
        Op Operation;
        std::function<void(TComThread&)> Stage;
    };

    void Body();
    // Runs what waits until nothing does (or the port cannot be opened).
    void RunWaiting(bool& portOpen, bool& uiBegun);
    void RunGuarded(Op op);
    void DropWaiting();
    void BeginOperationUi();
    void EndOperationUi();
    void WorkerFinished();

    std::atomic<bool> terminated_{false};
    mutable std::mutex queueMutex_;  // the UI thread hands over while the worker takes
    std::deque<HandedOver> queue_;
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
