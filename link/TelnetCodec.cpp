#include "link/TelnetCodec.h"

using namespace telnet;

void TelnetDecoder::Command(uint8_t byte) {
    if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
        verb_ = byte;
        state_ = State::Verb;
    } else if (byte == kSb) {
        state_ = State::SbOption;
    } else {
        state_ = State::Data;  // NOP, GA, data mark, a stray SE: nothing for a serial line
    }
}

void TelnetDecoder::Feed(const uint8_t* in, size_t n, std::vector<uint8_t>& data, std::vector<TelnetEvent>& events) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t byte = in[i];
        switch (state_) {
        case State::Data:
            if (byte == kIac) state_ = State::Iac;
            else data.push_back(byte);
            break;
        case State::Iac:
            if (byte == kIac) {
                data.push_back(byte);
                state_ = State::Data;
            } else {
                Command(byte);
            }
            break;
        case State::Verb:
            events.push_back({verb_, byte, {}});
            state_ = State::Data;
            break;
        case State::SbOption:
            sb_ = {kSb, byte, {}};
            state_ = State::Sb;
            break;
        case State::Sb:
            if (byte == kIac) state_ = State::SbIac;
            else if (sb_.payload.size() < kMaxPayload) sb_.payload.push_back(byte);
            break;
        case State::SbIac:
            if (byte == kIac) {
                if (sb_.payload.size() < kMaxPayload) sb_.payload.push_back(byte);
                state_ = State::Sb;
                break;
            }
            events.push_back(std::move(sb_));
            sb_ = {};
            // IAC SE ends it; any other command after IAC ends it too and counts as given.
            if (byte == kSe) state_ = State::Data;
            else Command(byte);
            break;
        }
    }
}

namespace {

std::vector<uint8_t> OptionCommand(uint8_t verb, uint8_t option) { return {kIac, verb, option}; }

bool WeRun(uint8_t option) { return option == kBinary || option == kComPort; }
bool TheyMayRun(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

}  // namespace

std::vector<uint8_t> TelnetOptions::Answer(uint8_t verb, uint8_t option) {
    const bool asksOurSide = verb == kDo || verb == kDont;
    auto& side = asksOurSide ? local_[option] : remote_[option];
    const bool wantsOn = verb == kWill || verb == kDo;
    const uint8_t yes = asksOurSide ? kWill : kDo;
    const uint8_t no = asksOurSide ? kWont : kDont;
    if (wantsOn) {
        if (side == On) return {};
        const bool accepted = asksOurSide ? WeRun(option) : TheyMayRun(option);
        if (!accepted) return side == Off ? OptionCommand(no, option) : std::vector<uint8_t>{};
        const bool wasAsked = side == Asked;
        side = On;
        return wasAsked ? std::vector<uint8_t>{} : OptionCommand(yes, option);
    }
    // The far end turns it off or refuses our request: acknowledge only a change from on.
    const bool wasOn = side == On;
    if (side == Asked && asksOurSide) refused_[option] = true;
    side = Off;
    return wasOn ? OptionCommand(no, option) : std::vector<uint8_t>{};
}

std::vector<uint8_t> TelnetOptions::Request(uint8_t verb, uint8_t option) {
    auto& side = verb == kWill ? local_[option] : remote_[option];
    if (side != Off) return {};
    side = Asked;
    return OptionCommand(verb, option);
}

std::vector<uint8_t> EscapeIac(const uint8_t* data, size_t n) {
    std::vector<uint8_t> out;
    out.reserve(n + 4);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac) out.push_back(kIac);
    }
    return out;
}

std::vector<uint8_t> ComPortCommand(uint8_t command, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> out{kIac, kSb, kComPort, command};
    const std::vector<uint8_t> escaped = EscapeIac(value.data(), value.size());
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

std::vector<uint8_t> LineFormatCommands(const LineFormat& format) {
    const auto rate = static_cast<uint32_t>(format.bitRate);
    std::vector<uint8_t> out =
        ComPortCommand(kSetBaudRate, {uint8_t(rate >> 24), uint8_t(rate >> 16), uint8_t(rate >> 8), uint8_t(rate)});
    for (const auto& part : {ComPortCommand(kSetDataSize, {uint8_t(format.dataBits)}),
                             ComPortCommand(kSetParity, {format.evenParity ? kParityEven : kParityNone}),
                             ComPortCommand(kSetStopSize, {uint8_t(format.stopBits)})})
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::optional<ComPortReply> ParseComPortReply(const TelnetEvent& event) {
    if (event.verb != kSb || event.option != kComPort || event.payload.size() < 2) return std::nullopt;
    const uint8_t code = event.payload[0];
    if (code <= kReplyOffset) return std::nullopt;
    ComPortReply reply{uint8_t(code - kReplyOffset), 0};
    const size_t valueBytes = reply.command == kSetBaudRate ? 4 : 1;
    if (event.payload.size() != 1 + valueBytes) return std::nullopt;
    for (size_t i = 1; i <= valueBytes; ++i) reply.value = reply.value << 8 | event.payload[i];
    return reply;
}
