#include "cli/CliRecord.h"

#include <condition_variable>
#include <mutex>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "commands/FillRows.h"
#include "commands/FillSeries.h"
#include "commands/LinkSetup.h"
#include "commands/PollCycle.h"

namespace {

using json = nlohmann::ordered_json;

// One file the rows go to, CSV or JSON Lines; "-" is standard output.
class RowFile {
public:
    RowFile(std::string path, bool jsonLines) : path_(std::move(path)), json_(jsonLines) {}

    bool Open() {
        if (path_ != "-") {
            file_.open(path_, std::ios::binary | std::ios::trunc);
            if (!file_) return false;
        }
        if (!json_) Out() << FillCsvHeader() << '\n';
        return Good();
    }
    void Write(int channel, const FillPoint& p) {
        if (!json_) {
            Out() << FillCsvRow(channel, p) << '\n';
            return;
        }
        const FillReading& r = p.Reading;
        json row = {{"time", IsoTimeText(r.WallMs)}, {"channel", channel + 1}, {"volume", r.VolumeMl / 1000.0},
                    {"flow", std::round(p.RateLpm * 100) / 100}, {"money", r.Money / 100.0},
                    {"dose", r.DoseMl / 1000.0}, {"fill", p.Fill}};
        for (const FillStateBit& bit : kFillStateBits) row[bit.Key] = FillStateBitSet(r.Status, bit);
        Out() << row.dump() << '\n';
    }
    void Flush() { Out().flush(); }
    bool Good() { return bool(Out()); }
    bool ToStandardOutput() const { return path_ == "-"; }
    const std::string& Path() const { return path_; }

private:
    std::ostream& Out() { return path_ == "-" ? std::cout : file_; }
    std::string path_;
    bool json_;
    std::ofstream file_;
};

struct Recording {
    std::vector<std::unique_ptr<RowFile>> Files;
    std::array<FillSeries, kChannelCount> Series;
    uint64_t Rows = 0;
    uint32_t Passes = 0;
    bool WriteFailed = false;
    std::atomic<bool> Stop{false};
    std::atomic<TComThread*> Worker{nullptr};
};
// The operation is a plain function run by the worker; it finds its recording here.
Recording* gRecording = nullptr;

void KeepLastText(std::vector<std::string>& texts) {
    // The status history of a poll that runs for hours would grow without end.
    if (texts.size() > 1) texts.erase(texts.begin(), texts.end() - 1);
}

void RecordPasses(TComThread& w) {
    Recording& rec = *gRecording;
    rec.Worker.store(&w);
    if (rec.Stop.load()) return;
    ReadDeviceInfo(w);
    if (!w.DeviceInfoRead) return;
    auto* views = dynamic_cast<TCliViews*>(w.Ui.Main);
    for (uint32_t n = 0; !rec.Stop.load(); ++n) {
        SyncDeviceState(w);
        if (w.ShouldStop()) break;
        PollPass(w, n);
        ++rec.Passes;
        // Each pass's rows reach the file before the next pass begins.
        for (auto& f : rec.Files) {
            f->Flush();
            rec.WriteFailed = rec.WriteFailed || !f->Good();
        }
        if (views) {
            KeepLastText(views->StatusTexts);
            KeepLastText(views->ErrorTexts);
        }
        if (rec.WriteFailed || w.ShouldStop()) break;
    }
}

// Ends the recording at the deadline. SIGINT and SIGTERM stop the worker through the
// program's own stop path; for a recording that is its normal end.
class StopWaiter {
public:
    StopWaiter(Recording& rec, int seconds) : rec_(rec) {
        if (seconds <= 0) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        thread_ = std::thread([this, deadline] { Wait(deadline); });
    }
    ~StopWaiter() { End(); }
    // Before the worker goes: the waiter must not reach it afterwards.
    void End() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Wait(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, deadline, [this] { return done_; })) return;
        rec_.Stop.store(true);
        if (TComThread* w = rec_.Worker.load()) w->Terminate();
    }

    Recording& rec_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

int CliRecord(const CliContext& c, int seconds, const std::string& csvFile, const std::string& jsonFile) {
    if (csvFile.empty() && jsonFile.empty()) return CliRefuse(c, "record", "нужен --csv FILE или --json FILE");
    if (csvFile == "-" && jsonFile == "-")
        return CliRefuse(c, "record", "в стандартный вывод пишется только один файл");
    Recording rec;
    if (!csvFile.empty()) rec.Files.push_back(std::make_unique<RowFile>(csvFile, false));
    if (!jsonFile.empty()) rec.Files.push_back(std::make_unique<RowFile>(jsonFile, true));
    bool toStandardOutput = false;
    for (auto& f : rec.Files) {
        if (!f->Open()) return CliRefuse(c, "record", "не могу записать " + f->Path());
        toStandardOutput = toStandardOutput || f->ToStandardOutput();
    }

    TCliViews v;
    v.OnChannelState = [&rec](int channel, const std::array<uint8_t, kChannelStateSize>& block) {
        using namespace std::chrono;
        const int64_t steady = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        const int64_t wall = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        const FillPoint& p = rec.Series[channel].Add(FillReadingOf(ChannelStateBlock(block), steady, wall));
        for (auto& f : rec.Files) f->Write(channel, p);
        ++rec.Rows;
    };
    gRecording = &rec;
    const auto start = std::chrono::steady_clock::now();
    StopWaiter waiter(rec, seconds);
    CliOutcome o = RunCliOperation(v, c.Link, RecordPasses);
    waiter.End();
    gRecording = nullptr;
    const bool interrupted = CliOperationsStopped();
    if (interrupted && o.Exit == kExitNoLink && rec.Passes > 0) o = CliOutcome{};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    for (auto& f : rec.Files) {
        f->Flush();
        rec.WriteFailed = rec.WriteFailed || !f->Good();
    }
    if (rec.WriteFailed && o.Exit == kExitDone) {
        o.Exit = kExitNoLink;
        o.Reason = "не могу записать файл";
    }

    const std::string status = v.StatusTexts.empty() ? "" : v.StatusTexts.back();
    const std::string message = v.ErrorTexts.empty() ? "" : v.ErrorTexts.back();
    // With the rows on standard output the summary keeps out of their way.
    std::ostream& out = toStandardOutput ? std::cerr : std::cout;
    if (c.Json) {
        json j = {{"command", "record"}, {"exit", o.Exit},         {"ok", o.Exit == kExitDone},
                  {"rows", rec.Rows},    {"passes", rec.Passes},   {"milliseconds", ms.count()},
                  {"interrupted", interrupted}, {"status", status}, {"message", message}};
        if (o.Exit != kExitDone) j["error"] = {{"code", o.Code}, {"text", o.Reason}};
        out << j.dump(2) << "\n";
    } else {
        out << "Записано строк: " << rec.Rows << ", проходов опроса: " << rec.Passes << "\n";
        if (!status.empty()) out << status << "\n";
        if (o.Exit != kExitDone) std::cerr << "ornix-cli: record: " << o.Reason << "\n";
    }
    return o.Exit;
}
