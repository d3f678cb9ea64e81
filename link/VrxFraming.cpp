#include "link/VrxFraming.h"

#include "link/ResultCodes.h"

namespace {

constexpr int kAddressesPerGroup = 15;
constexpr int kMaxVrxAddress = 225;
constexpr uint8_t kFirstAddressChar = 0x21;
constexpr uint8_t kFirstGroup = 0x02;
constexpr uint8_t kHighGroupBase = 0x06;

uint8_t Complement(uint8_t byte) { return static_cast<uint8_t>(~byte & 0x7F); }

bool IsStartByte(uint8_t byte) { return byte == kFirstGroup || (byte >= 0x07 && byte <= 0x14); }

bool EndsAtOnce(uint8_t byte) { return byte == kVrxAck || byte == kVrxNak || byte == kVrxCan; }

// Writes the pairs of `data`, the ETX pair and the checksum; returns the bytes written.
size_t PutBody(const uint8_t* data, size_t n, uint8_t* out) {
    size_t k = 0;
    uint8_t sum = kVrxEtx;
    for (size_t i = 0; i < n; ++i) {
        out[k++] = data[i];
        out[k++] = Complement(data[i]);
        sum ^= data[i];
    }
    out[k++] = kVrxEtx;
    out[k++] = kVrxEtx;
    out[k++] = static_cast<uint8_t>(sum | 0x40);
    return k;
}

}  // namespace

VrxAddressPair VrxAddressFor(int busAddress) {
    if (busAddress < 1 || busAddress > kMaxVrxAddress) return {};
    const int b = busAddress - 1;
    const uint8_t address = static_cast<uint8_t>(kFirstAddressChar + b % kAddressesPerGroup);
    if (b < kAddressesPerGroup) return {kFirstGroup, address};
    return {static_cast<uint8_t>(kHighGroupBase + b / kAddressesPerGroup), address};
}

int VrxBusAddress(uint8_t group, uint8_t address) {
    const int offset = address - kFirstAddressChar;
    if (offset < 0 || offset >= kAddressesPerGroup) return 0;
    if (group == kFirstGroup) return offset + 1;
    const int groupIndex = group - kHighGroupBase;
    if (groupIndex < 1 || groupIndex > kMaxVrxAddress / kAddressesPerGroup - 1) return 0;
    return groupIndex * kAddressesPerGroup + offset + 1;
}

size_t BuildVrxRequest(const uint8_t* request, size_t n, uint8_t* out) {
    if (n == 0 || n > static_cast<size_t>(kMaxVrxRequest)) return 0;
    const VrxAddressPair pair = VrxAddressFor(request[0]);
    out[0] = kVrxLead;
    out[1] = pair.group;
    // The address character travels as the first data pair: the same body as an answer.
    uint8_t data[kMaxVrxRequest];
    data[0] = pair.address;
    for (size_t i = 1; i < n; ++i) data[i] = request[i];
    return 2 + PutBody(data, n, out + 2);
}

std::vector<uint8_t> BuildVrxRequest(const std::vector<uint8_t>& request) {
    std::vector<uint8_t> out(2 * request.size() + 5);
    out.resize(request.empty() ? 0 : BuildVrxRequest(request.data(), request.size(), out.data()));
    return out;
}

std::vector<uint8_t> BuildVrxAnswer(uint8_t start, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(2 * data.size() + 4);
    out[0] = start;
    out.resize(1 + PutBody(data.data(), data.size(), out.data() + 1));
    return out;
}

bool VrxParser::WantsByte() {
    if (state_ == State::Done) return false;
    const bool mayStore = state_ == State::Start || state_ == State::Data;
    if (mayStore && stored_ + 2 > capacity_) {
        error_ = kReceiverOverflow;
        state_ = State::Done;
        return false;
    }
    return true;
}

void VrxParser::StoreData(uint8_t byte) {
    buffer_[stored_++] = byte;
    checksum_ ^= byte;
    lastData_ = byte;
    state_ = State::Partner;
}

void VrxParser::Push(uint8_t byte) {
    if (state_ == State::Done) return;
    ++rawCount_;
    switch (state_) {
    case State::Start:
        if (byte == kVrxLead) return;
        if (EndsAtOnce(byte)) {
            state_ = State::Done;
        } else if (IsStartByte(byte)) {
            buffer_[stored_++] = byte;
            state_ = State::Data;
        } else {
            // A bad start byte is kept as data so the rest of the frame still parses.
            error_ = kBadVrxByte;
            StoreData(byte);
        }
        return;
    case State::Data:
        StoreData(byte);
        return;
    case State::Partner: {
        const bool etxPair = lastData_ == kVrxEtx && byte == kVrxEtx;
        const bool dataPair = byte != kVrxEtx && lastData_ == Complement(byte);
        if (!etxPair && !dataPair) error_ = kBadVrxByte;
        state_ = lastData_ == kVrxEtx ? State::Checksum : State::Data;
        return;
    }
    case State::Checksum:
        answerLength_ = stored_ - 1;
        if (byte != static_cast<uint8_t>(checksum_ | 0x40)) error_ = kBadCrc;
        state_ = State::Done;
        return;
    case State::Done:
        return;
    }
}

void VrxParser::NoByte() {
    if (state_ == State::Done) return;
    error_ = stored_ > 0 ? kNoFrameEnd : kNoAnswer;
    state_ = State::Done;
}
