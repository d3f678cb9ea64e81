#include "link/FrameCodec.h"

#include "link/Crc16.h"
#include "link/ResultCodes.h"

namespace {

size_t PutStuffed(uint8_t byte, uint8_t* out) {
    if (byte == kFrameEnd || byte == kFrameEscape) {
        out[0] = kFrameEscape;
        out[1] = byte == kFrameEnd ? kEscapedEnd : kEscapedEscape;
        return 2;
    }
    out[0] = byte;
    return 1;
}

}  // namespace

size_t BuildFrame(const uint8_t* content, size_t length, uint8_t* out) {
    const uint16_t crc = Crc16(content, length);
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) n += PutStuffed(content[i], out + n);
    n += PutStuffed(static_cast<uint8_t>(crc & 0xFF), out + n);
    n += PutStuffed(static_cast<uint8_t>(crc >> 8), out + n);
    out[n++] = kFrameEnd;
    return n;
}

std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> out(2 * (content.size() + 2) + 1);
    out.resize(BuildFrame(content.data(), content.size(), out.data()));
    return out;
}

bool FrameUnstuffer::WantsByte() {
    if (end_ != FrameEnd::Open) return false;
    if (!escaped_ && stored_ + 2 > capacity_) {
        end_ = FrameEnd::Overflow;
        return false;
    }
    return true;
}

void FrameUnstuffer::Push(uint8_t byte) {
    if (end_ != FrameEnd::Open) return;
    if (escaped_) {
        // Anything but C1 after the escape stands for D0, even a C0: the frame goes on.
        buffer_[stored_++] = byte == kEscapedEnd ? kFrameEnd : kFrameEscape;
        escaped_ = false;
    } else if (byte == kFrameEnd) {
        end_ = FrameEnd::Terminator;
    } else if (byte == kFrameEscape) {
        escaped_ = true;
    } else {
        buffer_[stored_++] = byte;
    }
}

void FrameUnstuffer::NoByte() {
    if (end_ == FrameEnd::Open) end_ = FrameEnd::TimeOut;
}

AnswerCheck CheckAnswer(const uint8_t* body, int stored, FrameEnd end) {
    AnswerCheck check;
    check.answerLength = stored >= 3 ? stored - 2 : 0;
    if (stored == 0) check.error = kNoAnswer;
    else if (end == FrameEnd::TimeOut) check.error = kNoFrameEnd;
    else if (end == FrameEnd::Overflow) check.error = kReceiverOverflow;
    else if (stored < 3) check.error = kWrongLength;
    else if (check.answerLength < 3) {
        // Too short for address, command and result: the length verdict wins over the CRC.
        check.error = kWrongLength;
        check.detailedLength = true;
    } else if (Crc16(body, stored) != 0) check.error = kBadCrc;
    else check.error = body[2];
    return check;
}
