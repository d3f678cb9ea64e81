#include "ui/main/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Orders what a worker wrote before it posted a step with what the step reads. Qt's event
// queue does so too, but inside Qt's library, where a race detector cannot see it.
std::atomic<uint64_t> gPosted{0};

// One hand-over: the worker waits on it until the UI thread is done with the step.
struct Handover {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;

    // Notifies under the lock: the worker may free this as soon as it has the lock again.
    void Finish() {
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
    }
};

}  // namespace

void QtDispatcher::Run(const std::function<void()>& step) {
    QCoreApplication* app = QCoreApplication::instance();
    // Waiting for the UI thread from the UI thread itself would wait for ever.
    if (!app || QThread::currentThread() == app->thread()) {
        step();
        return;
    }
    // A queued call and our own lock rather than Qt's blocking connection: that one waits on a
    // semaphore inside Qt, where a race detector cannot see that the step's reads and writes
    // come between the worker's. The UI thread ends the hand-over once the step has run; should
    // Qt drop the call unrun (the application going away), destroying it ends the hand-over, so
    // the worker never waits for ever.
    auto handover = std::make_shared<Handover>();
    std::shared_ptr<void> unrun(nullptr, [handover](void*) { handover->Finish(); });
    gPosted.fetch_add(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        app,
        [handover, unrun, &step] {
            (void)gPosted.load(std::memory_order_acquire);
            step();
            handover->Finish();
        },
        Qt::QueuedConnection);
    unrun.reset();
    std::unique_lock lock(handover->mutex);
    handover->finished.wait(lock, [&] { return handover->done; });
}
