#include "link/ComPortUnit.h"

#include "link/FrameCodec.h"
#include "link/LineFactory.h"
#include "link/ResultCodes.h"
#include "link/VrxFraming.h"

#include <chrono>
#include <thread>

TECOMPort ComPort;

namespace {

constexpr int kCallerCapacity = 256;
constexpr int kPortBufferCapacity = 1024;
constexpr uint32_t kDefaultReadMs = 100;
constexpr uint32_t kWriteConstantMs = 1000;
constexpr uint32_t kPerByteMs = 2;
// The line needs a moment after opening before the first request is trusted to arrive.
constexpr auto kSettleAfterOpen = std::chrono::milliseconds(100);
constexpr char kLineBreak[] = "\r\n";

void AppendHex(std::string& text, uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    const char pair[] = {digits[byte >> 4], digits[byte & 15], ' '};
    text.append(pair, sizeof pair);
}

void AppendHexText(std::string& text, const uint8_t* bytes, int length) {
    for (int i = 0; i < length; ++i) AppendHex(text, bytes[i]);
}

}  // namespace

void TECOMPort::SetLine(std::unique_ptr<SerialLine> line) {
    line_ = std::move(line);
    lineByName_ = false;
}

int TECOMPort::Open() {
    if (!line_ || lineByName_) {
        if (line_) line_->Close();
        line_ = MakeLineFor(PortName);
        lineByName_ = true;
    }
    line_->Close();
    line_->GiveUp = GiveUpOpen;
    if (!line_->Open(LineTargetFor(PortName))) {
        ResultText = "Не могу открыть " + PortName;
        OpenFailureReason = PortFailureReason(line_->OpenFailure());
        return 1;
    }
    OpenFailureReason.clear();
    readConstantMs_ = kDefaultReadMs;
    readPerByteMs_ = kPerByteMs;
    writeConstantMs_ = kWriteConstantMs;
    writePerByteMs_ = kPerByteMs;
    line_->SetFormat(LineFormatFor(9600));
    line_->Purge();
    // A network's round trip comes on top of every answer time-out, which are a local line's.
    const int roundTrip = line_->RoundTripMicros();
    const bool overridden = roundTrip >= 0 && ExtraTimeoutMs >= 0;
    allowanceMs_ = roundTrip < 0 ? 0 : overridden ? uint32_t(ExtraTimeoutMs) : uint32_t(roundTrip + 999) / 1000;
    Statistics.SetNetworkAllowance(roundTrip, allowanceMs_, overridden);
    std::this_thread::sleep_for(kSettleAfterOpen);
    ResultText = "OK";
    return 0;
}

void TECOMPort::Close() {
    if (line_) line_->Close();
}

void TECOMPort::SetReadTimeout(uint32_t ms) {
    readConstantMs_ = ms;
    readPerByteMs_ = ms != 0 ? kPerByteMs : 0;
}

void TECOMPort::SetBitRate(int rate) {
    if (line_) line_->SetFormat(LineFormatFor(rate));
}

int TECOMPort::GetBitRate() { return line_ ? line_->BitRate() : 0; }

bool TECOMPort::ReadOne(uint8_t& byte) {
    // Every read asks for one byte, so it waits the constant plus one byte's share.
    return line_ && line_->ReadByte(byte, static_cast<int>(readConstantMs_ + readPerByteMs_ + allowanceMs_));
}

int TECOMPort::WriteFrame(const uint8_t* frame, int length) {
    if (!line_) return 0;
    return line_->Write(frame, length, static_cast<int>(writeConstantMs_ + writePerByteMs_ * length));
}

bool TECOMPort::SendFrame(const uint8_t* buf, int length, WriteRule rule) {
    Sending = true;
    // Longer content than a request may carry is refused without a trace: no caller builds one.
    if (length < 0 || length > kMaxRequestContent) return false;
    if (Describer) {
        TELogger description;
        if (description.IsOpen()) description.AppendCp1251(descriptions_.Line(Describer, buf, length, GetBitRate()));
    }
    TELogger entry;
    entry.AppendCp1251("Request:");
    uint8_t frame[kMaxFrameBytes];
    const int frameLength = static_cast<int>(BuildFrame(buf, static_cast<size_t>(length), frame));
    Error = 0;
    ResultText = "OK";
    const int written = WriteFrame(frame, frameLength);
    const bool failed = rule == WriteRule::WholeFrame ? written < frameLength : written == 0;
    if (failed) {
        ResultText = kWriteFailedText;
        Error = kWriteFailed;
        // Nothing more is coming for this request: the failure must not count as a send
        // in progress, or the status throttle would drop the text that reports it.
        Sending = false;
    }
    LogFrame(entry, frame, frameLength, failed);
    return true;
}

void TECOMPort::Send(const uint8_t* buf, int length) { SendFrame(buf, length, WriteRule::AnyByte); }

void TECOMPort::SendBuffer(int length) { SendFrame(Buffer, length, WriteRule::WholeFrame); }

template <class Parser>
void TECOMPort::Pump(Parser& rx) {
    hex_.clear();
    while (rx.WantsByte()) {
        uint8_t byte = 0;
        if (!ReadOne(byte)) {
            rx.NoByte();
            break;
        }
        AppendHex(hex_, byte);
        rx.Push(byte);
    }
}

void TECOMPort::LogFrame(TELogger& entry, const uint8_t* frame, int length, bool failed) {
    if (!entry.IsOpen()) return;
    hex_.clear();
    AppendHexText(hex_, frame, length);
    hex_ += kLineBreak;
    entry.AppendCp1251(hex_);
    if (failed) entry.Append(ResultText);
}

void TECOMPort::LogAnswer(TELogger& entry) {
    if (!entry.IsOpen()) return;
    entry.AppendCp1251("Answer :");
    hex_ += kLineBreak;
    entry.AppendCp1251(hex_);
    if (Error == 0) return;
    entry.Append(ResultText);
    entry.AppendCp1251(kLineBreak);
}

int TECOMPort::ReceiveFrame(uint8_t* buf, int capacity, bool keepDetailedLength) {
    Sending = false;
    AnswerLength = 0;
    FrameUnstuffer rx(buf, capacity);
    Pump(rx);
    const AnswerCheck check = CheckAnswer(buf, rx.Stored(), rx.End());
    AnswerLength = check.answerLength;
    Error = check.error;
    if (check.detailedLength && keepDetailedLength) ReportWrongLength(0);
    else ResultText = ResultCodeText(Error);

    TELogger entry;
    LogAnswer(entry);
    return AnswerLength;
}

int TECOMPort::Receive(uint8_t* buf, int capacity) { return ReceiveFrame(buf, capacity, true); }

int TECOMPort::ReceiveBuffer() { return ReceiveFrame(Buffer, kPortBufferCapacity, false); }

void TECOMPort::CheckEcho(const uint8_t* answer) {
    if (Error == 0 && answer[1] != LastCommand) {
        Error = kWrongEcho;
        ResultText = ResultCodeText(kWrongEcho);
    }
}

void TECOMPort::Exchange(uint8_t* buf, int length) {
    LastCommand = length > 1 ? buf[1] : 0;
    counted_ = false;
    const auto start = std::chrono::steady_clock::now();
    if (!SendFrame(buf, length, WriteRule::AnyByte)) return;
    if (Error == 0) {
        Receive(buf, kCallerCapacity);
        CheckEcho(buf);
    }
    CountExchange(start);
}

void TECOMPort::ExchangeBuffer(int length) {
    LastCommand = length > 1 ? Buffer[1] : 0;
    counted_ = false;
    const auto start = std::chrono::steady_clock::now();
    if (!SendFrame(Buffer, length, WriteRule::WholeFrame)) return;
    if (Error == 0) {
        ReceiveBuffer();
        CheckEcho(Buffer);
    }
    CountExchange(start);
}

void TECOMPort::CountExchange(std::chrono::steady_clock::time_point start) {
    Statistics.Record(LastCommand, Error,
                      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
    counted_ = true;
}

void TECOMPort::ReportWrongLength(int required) {
    // A reader that finds the answer short turns the counted success into a wrong length.
    if (counted_) Statistics.Reclassify(LastCommand, kWrongLength);
    Error = kWrongLength;
    ResultText = WrongLengthText(AnswerLength, required);
}

void TECOMPort::SendVrx(const uint8_t* buf, int n) {
    Sending = true;
    Error = 0;
    if (n <= 0 || n > kMaxVrxRequest) return;
    TELogger entry;
    entry.Append("Request:");
    uint8_t frame[2 * kMaxVrxRequest + 5];
    const int frameLength = static_cast<int>(BuildVrxRequest(buf, static_cast<size_t>(n), frame));
    const bool failed = WriteFrame(frame, frameLength) == 0;
    if (failed) {
        ResultText = kWriteFailedText;
        Error = kWriteFailed;
        Sending = false;  // as for a framed request: the failure must be shown
    }
    LogFrame(entry, frame, frameLength, failed);
}

int TECOMPort::ReceiveVrx(uint8_t* buf, int capacity) {
    Sending = false;
    AnswerLength = 0;
    Error = 0;
    ResultText.clear();
    TELogger entry;
    VrxParser rx(buf, capacity);
    Pump(rx);
    Error = rx.Error();
    AnswerLength = rx.AnswerLength();
    if (Error == kBadCrc || Error == kBadVrxByte) ResultText = VrxErrorText(Error);
    else if (Error != 0) ResultText = ResultCodeText(Error);
    LogAnswer(entry);
    return rx.RawCount();
}

void TECOMPort::WriteRaw(const uint8_t* bytes, int length) {
    if (!line_ || length <= 0) return;
    line_->Write(bytes, length, static_cast<int>(writeConstantMs_ + writePerByteMs_ * static_cast<uint32_t>(length)));
}

void TECOMPort::Purge() {
    if (line_) line_->Purge();
}
