// Arbitrary line bytes into both answer parsers, directly and through the port's receive,
// with buffers of exactly the stated capacity so a write past the end shows.
#include "link/ComPortUnit.h"
#include "link/FrameCodec.h"
#include "link/VrxFraming.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// A line that plays back the fuzz input and then falls silent.
class InputLine : public SerialLine {
public:
    InputLine(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Open(const std::string&) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    void SetFormat(const LineFormat&) override {}
    int BitRate() const override { return 9600; }
    bool ReadByte(uint8_t& byte, int) override {
        if (pos_ >= size_) return false;
        byte = data_[pos_++];
        return true;
    }
    int Write(const uint8_t*, int length, int) override { return length; }
    void Purge() override {}

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

template <class Parser>
void Feed(Parser& parser, const uint8_t* data, size_t size) {
    size_t i = 0;
    while (parser.WantsByte()) {
        if (i == size) parser.NoByte();
        else parser.Push(data[i++]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks a capacity, small ones included.
    const int capacity = data[0] % 2 == 0 ? data[0] / 2 : 256;
    ++data;
    --size;

    {
        auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity) + 1);
        FrameUnstuffer rx(buffer.get(), capacity);
        Feed(rx, data, size);
        const AnswerCheck check = CheckAnswer(buffer.get(), rx.Stored(), rx.End());
        if (rx.Stored() > capacity || check.answerLength > capacity) __builtin_trap();
    }
    {
        auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity) + 1);
        VrxParser rx(buffer.get(), capacity);
        Feed(rx, data, size);
        if (rx.Stored() > capacity || rx.AnswerLength() > rx.Stored() || rx.RawCount() > static_cast<int>(size))
            __builtin_trap();
    }

    static bool quietLog = (SetExchangeLogPath("/dev/null"), true);
    (void)quietLog;
    TECOMPort port;
    port.SetLine(std::make_unique<InputLine>(data, size));
    auto answer = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
    port.Receive(answer.get(), capacity);
    port.SetLine(std::make_unique<InputLine>(data, size));
    port.ReceiveBuffer();
    port.SetLine(std::make_unique<InputLine>(data, size));
    port.ReceiveVrx(answer.get(), capacity);
    return 0;
}
