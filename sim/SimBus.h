#pragma once
// The devices on one serial line and what they send back, without any I/O: bytes the tool
// wrote go in with the line settings of that moment, timed answer frames come out.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/FrameCodec.h"
#include "link/VrxFraming.h"
#include "sim/Faults.h"
#include "sim/SimConfig.h"
#include "sim/SimController.h"

struct LineSettings {
    int BitRate = 9600;
};

// Bytes to put on the line no earlier than DueMs, at BitRate when paced.
struct BusOutput {
    int64_t DueMs = 0;
    std::vector<uint8_t> Bytes;
    int BitRate = 9600;
};

constexpr int kVrxBitRate = 4800;

class SimBus {
public:
    SimBus(const SimConfig& config, SimClockSource clock);
    ~SimBus();

    std::vector<BusOutput> Receive(std::span<const uint8_t> bytes, LineSettings line, int64_t nowMs);
    // A late answer whose time has come.
    std::vector<BusOutput> Release(int64_t nowMs);
    std::optional<int64_t> NextRelease() const;

    size_t DeviceCount() const { return devices_.size(); }
    SimController& Device(size_t i);
    SimController& Main() { return Device(0); }

    std::function<void(const std::string&)> Log;  // one line per event when set

private:
    struct Listener;
    struct Answer {
        std::vector<uint8_t> Content;  // main framing: framed only after the faults
        std::vector<uint8_t> VrxFrame;  // VRX 2.0: ready to send
        int DelayMs = 0;
    };

    void Feed(Listener& d, uint8_t byte, std::vector<Answer>& answers);
    void FeedMain(Listener& d, uint8_t byte, std::vector<Answer>& answers);
    bool FeedVrx(Listener& d, uint8_t byte, std::vector<Answer>& answers);
    std::optional<Answer> Respond(SimController& c, std::span<const uint8_t> request);
    void Emit(std::vector<Answer>& answers, int bitRate, int64_t nowMs, std::vector<BusOutput>& out);
    void Note(const std::string& line) const;

    std::vector<std::unique_ptr<Listener>> devices_;
    FaultInjector faults_;
    int lateMs_;
    std::optional<BusOutput> late_;
    bool requestSeen_ = false;
};

std::string HexText(std::span<const uint8_t> bytes);
