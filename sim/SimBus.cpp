#include "sim/SimBus.h"

#include <algorithm>
#include <cstdio>

#include "link/Crc16.h"

namespace {

// Room for the longest request body: 1023 content bytes and the CRC, plus the reader's margin.
constexpr int kRequestCapacity = kMaxRequestContent + 2 + 2;
constexpr int kVrxCapacity = kMaxVrxRequest + 8;

// Another unit of the same kind: the identity differs, so that two of them answering at once
// really garble each other's frames.
ControllerState Sibling(ControllerState s, int n) {
    s.VrxId += uint32_t(n);
    s.RtcTemperature = int8_t(s.RtcTemperature + n);
    s.CpuTemperature = int8_t(s.CpuTemperature - 3 * n);
    s.Serial[7] = uint8_t(s.Serial[7] + n);
    return s;
}

// Two transmitters on one line at once. Their UARTs never start on the same bit, so the
// second is a few bits behind; where either drives the line low it reads low (idle is high).
// The receiver then finds start bits wherever the merged line drops.
constexpr int kCollisionSkewBits = 3;

std::vector<bool> UartBits(const std::vector<uint8_t>& bytes, int delay) {
    std::vector<bool> bits(size_t(delay), true);
    for (uint8_t b : bytes) {
        bits.push_back(false);  // start bit
        for (int i = 0; i < 8; ++i) bits.push_back((b >> i) & 1);
        bits.push_back(true);  // stop bit
    }
    return bits;
}

std::vector<uint8_t> Collide(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<bool> x = UartBits(a, 0), y = UartBits(b, kCollisionSkewBits);
    std::vector<bool> line(std::max(x.size(), y.size()), true);
    for (size_t i = 0; i < line.size(); ++i)
        line[i] = (i >= x.size() || x[i]) && (i >= y.size() || y[i]);
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 9 < line.size();) {
        if (line[i]) {
            ++i;
            continue;
        }
        uint8_t byte = 0;
        for (int k = 0; k < 8; ++k) byte |= uint8_t(line[i + 1 + size_t(k)]) << k;
        out.push_back(byte);
        i += 10;  // a missing stop bit is a framing error the receiver reads past
    }
    return out;
}

// Only the rate decides: a pseudo-terminal forces 8 bits without parity whatever the tool
// asks for, so the 7E2 format of the VRX rate cannot be seen on it.
bool Hears(const ControllerState& s, LineSettings line) { return line.BitRate == s.BitRate; }

}  // namespace

std::string HexText(std::span<const uint8_t> bytes) {
    std::string s;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X ", b);
        s += hex;
    }
    if (!s.empty()) s.pop_back();
    return s;
}

// One device's ear on the line: its controller and the frames it is half way through.
struct SimBus::Listener {
    explicit Listener(SimController c) : Controller(std::move(c)) {}

    SimController Controller;
    std::array<uint8_t, kRequestCapacity> MainBuffer{};
    std::array<uint8_t, kVrxCapacity> VrxBuffer{};
    FrameUnstuffer Main{MainBuffer.data(), kRequestCapacity};
    VrxParser Vrx{VrxBuffer.data(), kVrxCapacity};

    void ResetMain() { Main = FrameUnstuffer(MainBuffer.data(), kRequestCapacity); }
    void ResetVrx() { Vrx = VrxParser(VrxBuffer.data(), kVrxCapacity); }
    void Reset() { ResetMain(); ResetVrx(); }
};

SimBus::SimBus(const SimConfig& config, SimClockSource clock)
    : faults_(config.Faults, config.Seed), lateMs_(config.Faults.LateMs) {
    devices_.push_back(std::make_unique<Listener>(SimController(config.Controller, clock)));
    if (config.Second) {
        ControllerState s = Sibling(config.Controller, 1);
        s.Address = config.SecondAddress;
        s.BitRate = config.SecondBitRate;
        devices_.push_back(std::make_unique<Listener>(SimController(s, clock)));
    }
    if (config.Twin)
        devices_.push_back(std::make_unique<Listener>(SimController(Sibling(config.Controller, 2), clock)));
    for (size_t i = 0; i < config.BusDevices.size(); ++i) {
        ControllerState s = Sibling(config.Controller, int(3 + i));
        s.Address = config.BusDevices[i].Address;
        s.BitRate = config.BusDevices[i].BitRate;
        s.DeviceType = config.BusDevices[i].DeviceType;
        devices_.push_back(std::make_unique<Listener>(SimController(s, clock)));
    }
    for (const ControllerState& s : config.ExtraDevices)
        devices_.push_back(std::make_unique<Listener>(SimController(s, clock)));
}

SimBus::~SimBus() = default;

SimController& SimBus::Device(size_t i) { return devices_[i]->Controller; }

void SimBus::Note(const std::string& line) const {
    if (Log) Log(line);
}

std::vector<BusOutput> SimBus::Receive(std::span<const uint8_t> bytes, LineSettings line, int64_t nowMs) {
    std::vector<BusOutput> out;
    for (uint8_t byte : bytes) {
        std::vector<Answer> answers;
        requestSeen_ = false;
        for (auto& d : devices_) {
            // A UART set to another rate hears only noise; whatever it had begun is lost.
            if (!Hears(d->Controller.State, line)) {
                d->Reset();
                continue;
            }
            Feed(*d, byte, answers);
        }
        if (requestSeen_ && late_) {
            // Still busy with the late answer: it goes out now, in place of this one's.
            Note("late answer sent, request ignored");
            out.push_back(std::move(*late_));
            out.back().DueMs = nowMs;
            late_.reset();
            continue;
        }
        if (!answers.empty()) Emit(answers, line.BitRate, nowMs, out);
    }
    if (!bytes.empty() && out.empty() && !requestSeen_ && Log) {
        bool anyListening = std::any_of(devices_.begin(), devices_.end(), [&](auto& d) {
            return Hears(d->Controller.State, line);
        });
        if (!anyListening) Note("ignored at " + std::to_string(line.BitRate) + ": " + HexText(bytes));
    }
    return out;
}

void SimBus::Feed(Listener& d, uint8_t byte, std::vector<Answer>& answers) {
    // At the VRX rate both framings are heard; a byte that ended a VRX frame is not the
    // first byte of a main-framing one.
    if (d.Controller.State.BitRate == kVrxBitRate && FeedVrx(d, byte, answers)) return;
    FeedMain(d, byte, answers);
}

void SimBus::FeedMain(Listener& d, uint8_t byte, std::vector<Answer>& answers) {
    if (!d.Main.WantsByte()) d.ResetMain();  // an overlong frame is dropped and forgotten
    d.Main.Push(byte);
    if (d.Main.End() != FrameEnd::Terminator) return;
    const uint8_t* body = d.Main.Body();
    int stored = d.Main.Stored();
    d.Reset();
    // Address, command and CRC at least, and a CRC that matches: else it is line noise.
    if (stored < 4 || Crc16(body, size_t(stored)) != 0) return;
    std::span<const uint8_t> request(body, size_t(stored - 2));
    requestSeen_ = true;
    if (late_) return;  // busy with the late answer: the request is not even looked at
    if (auto a = Respond(d.Controller, request)) answers.push_back(std::move(*a));
}

bool SimBus::FeedVrx(Listener& d, uint8_t byte, std::vector<Answer>& answers) {
    // Every request begins with 0x7F, which no request character pair contains.
    if (byte == kVrxLead) d.ResetVrx();
    if (!d.Vrx.WantsByte()) d.ResetVrx();
    d.Vrx.Push(byte);
    if (!d.Vrx.Done()) return false;
    bool good = d.Vrx.Error() == 0 && d.Vrx.AnswerLength() >= 2;
    int address = good ? VrxBusAddress(d.VrxBuffer[0], d.VrxBuffer[1]) : 0;
    std::string chars(d.VrxBuffer.begin() + 2, d.VrxBuffer.begin() + std::max(d.Vrx.AnswerLength(), 2));
    // A main-framing request also reads as a (broken) VRX frame; only a good one ends both.
    if (!good) {
        d.ResetVrx();
        return false;
    }
    d.Reset();
    requestSeen_ = true;
    if (late_ || address != d.Controller.State.Address) return true;
    Note("VRX request to " + std::to_string(address) + ": \"" + chars + "\"");
    std::optional<std::string> reply = d.Controller.HandleVrx(chars);
    if (!reply) return true;
    VrxAddressPair pair = VrxAddressFor(address);
    answers.push_back({{}, BuildVrxAnswer(pair.group, std::vector<uint8_t>(reply->begin(), reply->end())), 0});
    return true;
}

std::optional<SimBus::Answer> SimBus::Respond(SimController& c, std::span<const uint8_t> request) {
    if (!c.Serves(request[0])) return std::nullopt;
    Note("request " + HexText(request));
    SimAnswer content;
    if (auto forced = faults_.ForcedResult(request[1])) {
        content = SimAnswer(request[0], request[1]);
        content.Result(*forced);
    } else if (auto a = c.Handle(request)) {
        content = std::move(*a);
        for (const std::string& line : content.Notes) Note(line);
    } else {
        return std::nullopt;
    }
    return Answer{std::move(content.Bytes), {}, content.DelayMs};
}

void SimBus::Emit(std::vector<Answer>& answers, int bitRate, int64_t nowMs, std::vector<BusOutput>& out) {
    bool mainFraming = answers[0].VrxFrame.empty();
    Fault fault = mainFraming ? faults_.Draw() : Fault::None;
    if (fault == Fault::Drop) {
        Note("answer dropped");
        return;
    }
    BusOutput o{nowMs, {}, bitRate};
    int delay = 0;
    for (Answer& a : answers) {
        if (fault == Fault::WrongEcho) SpoilEcho(a.Content);
        std::vector<uint8_t> frame = a.VrxFrame.empty() ? BuildFrame(a.Content) : a.VrxFrame;
        o.Bytes = o.Bytes.empty() ? frame : Collide(o.Bytes, frame);
        delay = std::max(delay, a.DelayMs);
    }
    o.DueMs = nowMs + delay;
    if (fault == Fault::Late) {
        o.DueMs += lateMs_;
        Note("answer held back: " + HexText(o.Bytes));
        late_ = std::move(o);
        return;
    }
    if (fault == Fault::Cut) CutBeforeTerminator(o.Bytes);
    if (fault == Fault::BadCrc) SpoilCrc(o.Bytes);
    Note("answer " + HexText(o.Bytes) + (fault == Fault::None ? "" : std::string(" (") + FaultName(fault) + ")"));
    out.push_back(std::move(o));
}

std::vector<BusOutput> SimBus::Release(int64_t nowMs) {
    std::vector<BusOutput> out;
    if (late_ && late_->DueMs <= nowMs) {
        Note("late answer sent");
        out.push_back(std::move(*late_));
        late_.reset();
    }
    return out;
}

std::optional<int64_t> SimBus::NextRelease() const {
    if (late_) return late_->DueMs;
    return std::nullopt;
}
