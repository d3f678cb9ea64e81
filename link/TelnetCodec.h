#pragma once
// Telnet with the COM-PORT-OPTION (RFC 854, 855, 1143, 2217) as pure byte work: the decoder
// splits a received stream into data and commands, the option table answers the far end's
// requests, and the encoders build the converter's line-setting commands. The network line
// drives them; no I/O here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/SerialLine.h"

namespace telnet {
constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kBinary = 0;
constexpr uint8_t kEcho = 1;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPort = 44;

// COM-PORT-OPTION commands, client to converter; the converter answers with the code + 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kReplyOffset = 100;

constexpr uint8_t kParityNone = 1;
constexpr uint8_t kParityEven = 3;
constexpr uint8_t kControlNoFlow = 1;
constexpr uint8_t kControlDtrOff = 9;
constexpr uint8_t kControlRtsOff = 12;
constexpr uint8_t kPurgeBoth = 3;  // the converter's receive and transmit buffers
}  // namespace telnet

// One command of the far end: an option request (verb WILL/WONT/DO/DONT) or a
// subnegotiation (verb SB, its payload with doubled IACs undone).
struct TelnetEvent {
    uint8_t verb = 0;
    uint8_t option = 0;
    std::vector<uint8_t> payload;
};

// Splits received bytes into data and commands; a command cut between two reads is finished
// by the next one. Commands without an option (NOP, GA, data mark) carry nothing for a serial
// line and are dropped.
class TelnetDecoder {
public:
    void Feed(const uint8_t* in, size_t n, std::vector<uint8_t>& data, std::vector<TelnetEvent>& events);

    // A longer subnegotiation is cut: no converter's reply comes near it, and a stream of
    // garbage must not grow memory without end.
    static constexpr size_t kMaxPayload = 64;

private:
    void Command(uint8_t byte);
    enum class State { Data, Iac, Verb, SbOption, Sb, SbIac };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    TelnetEvent sb_;
};

// Which options are on, each side, and the replies that keep both ends agreed. This client
// runs binary transmission both ways (frames carry every byte value, CR included), lets the
// far end suppress go-ahead, and offers the COM-PORT-OPTION; every other option is refused.
// A request that changes nothing gets no reply, so two ends never answer each other for ever.
class TelnetOptions {
public:
    // The reply to one option request of the far end (empty when none is due).
    std::vector<uint8_t> Answer(uint8_t verb, uint8_t option);
    // Our own request to turn an option on: WILL for our side, DO for theirs.
    std::vector<uint8_t> Request(uint8_t verb, uint8_t option);

    bool LocalOn(uint8_t option) const { return local_[option] == On; }
    bool RemoteOn(uint8_t option) const { return remote_[option] == On; }
    // The far end refused our request for this option on our side.
    bool LocalRefused(uint8_t option) const { return refused_[option]; }

private:
    enum Side : uint8_t { Off, On, Asked };
    std::array<Side, 256> local_{};   // WILL/WONT: options this end performs
    std::array<Side, 256> remote_{};  // DO/DONT: options the far end performs
    std::array<bool, 256> refused_{};
};

// Data as it goes on the wire: every 0xFF doubled.
std::vector<uint8_t> EscapeIac(const uint8_t* data, size_t n);

// IAC SB COM-PORT-OPTION command value IAC SE, the value's 0xFF bytes doubled.
std::vector<uint8_t> ComPortCommand(uint8_t command, const std::vector<uint8_t>& value);
// Rate (4 bytes, high first), data size, parity and stop size of one line format, in one go.
std::vector<uint8_t> LineFormatCommands(const LineFormat& format);

// A converter's answer to one COM-PORT-OPTION command: the command it answers (without the
// offset) and the value, 4 bytes high first for the rate, 1 byte for the others.
struct ComPortReply {
    uint8_t command = 0;
    uint32_t value = 0;
};
std::optional<ComPortReply> ParseComPortReply(const TelnetEvent& event);
