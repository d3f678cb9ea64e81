#pragma once
// Framing of the controller bus: content + CRC-16 (low byte first), 0xC0/0xD0 escaped,
// one 0xC0 terminator. Pure byte work; the port and the simulator drive it.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kFrameEnd = 0xC0;
constexpr uint8_t kFrameEscape = 0xD0;
constexpr uint8_t kEscapedEnd = 0xC1;
constexpr uint8_t kEscapedEscape = 0xD1;

constexpr int kMaxRequestContent = 1023;
// Worst case: every body byte escaped, plus the terminator.
constexpr int kMaxFrameBytes = 2 * (kMaxRequestContent + 2) + 1;

// Writes the complete frame for `content` into `out` (room for 2 * (length + 2) + 1 bytes)
// and returns its length. Used for requests and, by the simulator, for answers.
size_t BuildFrame(const uint8_t* content, size_t length, uint8_t* out);
std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& content);

// How the reading of one frame stopped.
enum class FrameEnd { Open, Terminator, TimeOut, Overflow };

// Unstuffs a frame one byte at a time into a caller's buffer, so the port can feed bytes as
// they arrive. The caller asks WantsByte() before each read; it refuses (Overflow) once fewer
// than two free places remain, but never between the two bytes of an escape pair.
class FrameUnstuffer {
public:
    FrameUnstuffer(uint8_t* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

    bool WantsByte();
    void Push(uint8_t byte);
    void NoByte();  // the read timed out

    FrameEnd End() const { return end_; }
    int Stored() const { return stored_; }
    const uint8_t* Body() const { return buffer_; }

private:
    uint8_t* buffer_;
    int capacity_;
    int stored_ = 0;
    bool escaped_ = false;
    FrameEnd end_ = FrameEnd::Open;
};

// Verdict on a received frame body (CRC still attached).
struct AnswerCheck {
    int error = 0;          // 0, the controller's result code, or a negative link error
    int answerLength = 0;   // content length without CRC; 0 below 3 stored bytes
    bool detailedLength = false;  // -5 for a body of 3 or 4 bytes: wants the detailed text
};

// Applies the answer rules in their order; the first one that fires decides, except that a
// too-short content replaces a CRC error. The echo check needs the request and is the port's.
AnswerCheck CheckAnswer(const uint8_t* body, int stored, FrameEnd end);
