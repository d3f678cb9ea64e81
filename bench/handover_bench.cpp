// Cost of handing a display step from the worker to the UI thread and waiting for it,
// the way every status update and reader display runs (two or more per exchange).
#include "engine/ComThreadUnit.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// A UI thread that runs posted steps in order while the poster waits, like a blocking queued call.
class UiLoop final : public IUiDispatcher {
public:
    UiLoop() : thread_([this] { Loop(); }) {}
    ~UiLoop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Run(const std::function<void()>& step) override {
        bool ran = false;
        std::unique_lock lock(mutex_);
        queue_.push_back({&step, &ran});
        changed_.notify_all();
        changed_.wait(lock, [&] { return ran; });
    }

private:
    struct Posted {
        const std::function<void()>* step;
        bool* ran;
    };
    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            Posted p = queue_.front();
            queue_.pop_front();
            lock.unlock();
            (*p.step)();
            lock.lock();
            *p.ran = true;
            changed_.notify_all();
        }
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Posted> queue_;
    bool stop_ = false;
    std::thread thread_;
};

void BM_SynchronizeRoundTrip(benchmark::State& state) {
    UiLoop ui;
    TViews views;
    views.Dispatcher = &ui;
    TComThread worker(views);
    int shown = 0;
    for (auto _ : state) worker.Synchronize([&] { ++shown; });
    benchmark::DoNotOptimize(shown);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SynchronizeRoundTrip)->UseRealTime();

void BM_StatusThrottleDecision(benchmark::State& state) {
    uint64_t last = 0, now = 0;
    int shown = 0;
    for (auto _ : state) {
        now += 7;  // updates 7 ms apart, alternating announcement and result
        shown += StatusUpdateDue(now, last, (now / 7) & 1);
    }
    benchmark::DoNotOptimize(shown);
}
BENCHMARK(BM_StatusThrottleDecision);

}  // namespace
