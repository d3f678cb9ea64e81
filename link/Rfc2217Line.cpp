#include "link/Rfc2217Line.h"

#include "link/LinkStatistics.h"

using namespace telnet;

namespace {

// "8N1" from the converter's answers; "?" for a part it did not confirm.
std::string FormatText(const std::optional<uint32_t>& size, const std::optional<uint32_t>& parity,
                       const std::optional<uint32_t>& stop) {
    static const char kParity[] = "?NOEMS";
    std::string text = size ? std::to_string(*size) : "?";
    text += parity && *parity < 6 ? kParity[*parity] : '?';
    text += !stop ? "?" : *stop == 3 ? "1.5" : std::to_string(*stop);
    return text;
}

}  // namespace

template <class Done>
bool Rfc2217Line::PumpUntil(Clock::time_point deadline, Done done) {
    while (!done())
        if (!Pump(deadline)) return done();
    return true;
}

Rfc2217Line::Clock::time_point Rfc2217Line::NegotiationDeadline() const {
    return Clock::now() + std::chrono::milliseconds(NegotiationTimeoutMs);
}

void Rfc2217Line::SendCommands(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) SendRaw(bytes.data(), int(bytes.size()), NegotiationDeadline());
}

void Rfc2217Line::Arrived(const uint8_t* bytes, int n) {
    events_.clear();
    decoder_.Feed(bytes, size_t(n), data_, events_);
    for (const TelnetEvent& e : events_) {
        if (e.verb != kSb) {
            SendCommands(options_.Answer(e.verb, e.option));
        } else if (const auto reply = ParseComPortReply(e); reply && reply->command < replies_.size()) {
            replies_[reply->command] = reply->value;
        }
        // Line and modem state notifications tell nothing the exchanges do not.
    }
}

bool Rfc2217Line::Start(std::string& why) {
    decoder_ = {};
    options_ = {};
    replies_ = {};
    confirmed_.reset();
    purgeAnswered_ = true;
    std::vector<uint8_t> hello = options_.Request(kWill, kComPort);
    for (const auto& r : {options_.Request(kWill, kBinary), options_.Request(kDo, kBinary)})
        hello.insert(hello.end(), r.begin(), r.end());
    SendCommands(hello);
    PumpUntil(NegotiationDeadline(), [this] { return options_.LocalOn(kComPort) || options_.LocalRefused(kComPort); });
    if (!LostReason().empty()) {
        why = LostReason();
        return false;
    }
    if (!options_.LocalOn(kComPort)) {
        const std::string endpoint = portName_.substr(portName_.find("://") + 3);
        why = endpoint + ": преобразователь не отвечает по RFC 2217 за " + std::to_string(NegotiationTimeoutMs / 1000) +
              " с; если он передаёт байты как есть, попробуйте tcp://" + endpoint;
        return false;
    }
    // The controller does not use flow control or the modem lines.
    std::vector<uint8_t> control;
    for (uint8_t c : {kControlNoFlow, kControlDtrOff, kControlRtsOff}) {
        const auto command = ComPortCommand(kSetControl, {c});
        control.insert(control.end(), command.begin(), command.end());
    }
    SendCommands(control);
    SetFormat(LineFormatFor(9600));  // the line as it must be after an open
    // The round trip is a purge's: the converter answers it at once, while its answer to a rate
    // waits for the serial device to be set up (ser2net: tens of milliseconds at the first).
    const auto sent = Clock::now();
    Purge();
    if (purgeAnswered_) roundTripMicros_ = int(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count());
    if (!LostReason().empty()) {
        why = LostReason();
        return false;
    }
    Log("COM-PORT-OPTION согласован, время круга " + Millis(uint64_t(roundTripMicros_)) + " мс");
    return true;
}

void Rfc2217Line::SetFormat(const LineFormat& format) {
    if (!IsOpen()) return;
    if (confirmed_ && confirmed_->bitRate == format.bitRate && confirmed_->dataBits == format.dataBits &&
        confirmed_->evenParity == format.evenParity && confirmed_->stopBits == format.stopBits)
        return;
    for (uint8_t c : {kSetBaudRate, kSetDataSize, kSetParity, kSetStopSize}) replies_[c].reset();
    SendCommands(LineFormatCommands(format));
    PumpUntil(NegotiationDeadline(), [this] {
        return replies_[kSetBaudRate] && replies_[kSetDataSize] && replies_[kSetParity] && replies_[kSetStopSize];
    });
    const auto& rate = replies_[kSetBaudRate];
    const std::string shape = FormatText(replies_[kSetDataSize], replies_[kSetParity], replies_[kSetStopSize]);
    if (!rate) {
        // Nothing confirmed: the rate asked for is the best guess, and the next request tries again.
        bitRate_ = format.bitRate;
        confirmed_.reset();
        Log("преобразователь не подтвердил " + std::to_string(format.bitRate) + " бит/с за " +
            std::to_string(NegotiationTimeoutMs) + " мс");
        return;
    }
    bitRate_ = int(*rate);
    confirmed_ = format;
    confirmed_->bitRate = bitRate_;
    Log("преобразователь подтвердил " + std::to_string(*rate) + " бит/с, " + shape);
}

int Rfc2217Line::Write(const uint8_t* data, int length, int timeoutMs) {
    if (!IsOpen() || length <= 0) return 0;
    const std::vector<uint8_t> wire = EscapeIac(data, size_t(length));
    const int sent = SendRaw(wire.data(), int(wire.size()), Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (sent == int(wire.size())) return length;
    // Data bytes that went out whole; a doubled 0xFF counts only with both halves.
    int whole = 0;
    for (int at = 0; whole < length; ++whole) {
        at += data[whole] == kIac ? 2 : 1;
        if (at > sent) break;
    }
    return whole;
}

void Rfc2217Line::Purge() {
    if (!IsOpen()) return;
    SendCommands(ComPortCommand(kPurgeData, {kPurgeBoth}));
    // Data before the converter's answer was on its way before the purge: it goes too.
    replies_[kPurgeData].reset();
    if (purgeAnswered_) purgeAnswered_ = PumpUntil(NegotiationDeadline(), [this] { return replies_[kPurgeData].has_value(); });
    DropReceived();
}
