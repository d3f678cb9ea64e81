#include "cli/CliRun.h"

#include <atomic>
#include <mutex>

#include "link/ComPortUnit.h"
#include "link/ResultCodes.h"

ExchangeVerdict JudgeExchanges(const LinkFigures& figures, CliForgiven forgiven) {
    ExchangeVerdict v;
    for (const auto& [command, f] : figures) {
        v.Exchanges += int(f.exchanges);
        for (const auto& [code, count] : f.errors) {
            if (count == 0 || code == 0) continue;
            if (forgiven.Silence && code == kNoAnswer) continue;
            if (code > 0 && command == forgiven.RefusalOf) continue;
            const int exit = code < 0 ? kExitNoLink : kExitRefused;
            if (v.Exit == kExitDone || exit > v.Exit) {
                v.Exit = exit;
                v.Code = code;
            }
        }
    }
    return v;
}

namespace {

// The worker of the operation that runs now; the stop request reaches it under the mutex, so
// it never touches a worker that has already ended.
std::mutex gRunMutex;
TComThread* gRunning = nullptr;
bool gStopped = false;
constexpr char kStoppedText[] = "прервано";

}  // namespace

void StopCliOperations() {
    std::lock_guard lock(gRunMutex);
    gStopped = true;
    if (gRunning) gRunning->Terminate();
}

bool CliOperationsStopped() {
    std::lock_guard lock(gRunMutex);
    return gStopped;
}

CliOutcome RunCliOperation(TCliViews& views, const CliLink& link, Op op, std::function<void(TComThread&)> stage,
                           CliForgiven forgiven) {
    CliOutcome out;
    views.PortPanel = link.Port;
    views.Window.DevAddr = link.Address;
    views.Window.BaudRate = link.BitRate;
    ComPort.Statistics.Reset();

    out.Worker = std::make_unique<TComThread>(views.Bundle());
    TComThread& w = *out.Worker;
    // The record is read after the end, so this worker must outlive its thread.
    w.FreeOnTerminate = false;
    w.BitRate = link.BitRate;
    ComPort.PortName = link.Port;
    ComPort.ExtraTimeoutMs = link.ExtraTimeoutMs;
    // Staged steps run only once the port is open: that they ran tells an open port.
    auto opened = std::make_shared<std::atomic<bool>>(false);
    w.HandOver(op, [opened, stage](TComThread& worker) {
        opened->store(true);
        if (stage) stage(worker);
    });
    {
        std::lock_guard lock(gRunMutex);
        if (gStopped) {
            out.Exit = kExitNoLink;
            out.Reason = kStoppedText;
            return out;
        }
        gRunning = &w;
    }
    WorkerRunning.store(true, std::memory_order_release);
    CurrentWorker = &w;
    w.Start();
    w.WaitFor();
    CurrentWorker = nullptr;
    bool stopped = false;
    {
        std::lock_guard lock(gRunMutex);
        gRunning = nullptr;
        stopped = gStopped;
    }
    if (stopped) {
        out.Exit = kExitNoLink;
        out.Reason = kStoppedText;
        return out;
    }

    if (!opened->load()) {
        out.Exit = kExitNoLink;
        out.Reason = w.PollStatusText;
        if (!w.CommandStatusText.empty()) out.Reason += " (" + w.CommandStatusText + ")";
        return out;
    }
    ExchangeVerdict verdict = JudgeExchanges(ComPort.Statistics.Snapshot(), forgiven);
    // Exchanges made without the counted pattern (the bus search) still end on a failed write.
    if (verdict.Exit == kExitDone && ComPort.Error == kWriteFailed) verdict = {kExitNoLink, kWriteFailed, 0};
    out.Exit = verdict.Exit;
    out.Code = verdict.Code;
    out.Exchanges = verdict.Exchanges;
    if (verdict.Exit != kExitDone) out.Reason = ResultCodeText(verdict.Code);
    // Silence has three suspects: the port, the rate and the address; name all three.
    if (verdict.Code == kNoAnswer)
        out.Reason += " (порт " + link.Port + ", " + std::to_string(link.BitRate) + " бит/с, адрес " +
                      std::to_string(link.Address) + ")";
    // A lost connection to a converter says why beside the failed write.
    if (const std::string lost = ComPort.LineLostReason(); !lost.empty() && verdict.Exit == kExitNoLink)
        out.Reason += " (" + lost + ")";
    return out;
}
