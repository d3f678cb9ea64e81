#include "tests/support/RecordingSerialLine.h"

#include <algorithm>

#include "link/ComPortUnit.h"
#include "link/LineFactory.h"
#include "link/PosixSerialLine.h"
#include "tests/support/RequestContent.h"

RecordingSerialLine::RecordingSerialLine() : line_(std::make_unique<PosixSerialLine>()) {}
RecordingSerialLine::~RecordingSerialLine() = default;

void RecordingSerialLine::FailWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
}

std::vector<RecordingSerialLine::Request> RecordingSerialLine::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<RecordingSerialLine::Clock::time_point> RecordingSerialLine::ReadTimeouts() const {
    std::lock_guard lock(mutex_);
    return readTimeouts_;
}

std::vector<int> RecordingSerialLine::ReadWaitsMs() const {
    std::lock_guard lock(mutex_);
    return readWaitsMs_;
}

uint64_t RecordingSerialLine::BytesWritten() const {
    std::lock_guard lock(mutex_);
    return written_;
}

uint64_t RecordingSerialLine::BytesRead() const {
    std::lock_guard lock(mutex_);
    return read_;
}

bool RecordingSerialLine::Open(const std::string& path) {
    // The line the port name stands for: a tty, or a converter behind the network.
    line_ = MakeLineFor(path);
    line_->GiveUp = GiveUp;
    return line_->Open(path);
}
PortOpenFailure RecordingSerialLine::OpenFailure() const { return line_->OpenFailure(); }
int RecordingSerialLine::RoundTripMicros() const { return line_->RoundTripMicros(); }
bool RecordingSerialLine::CanSetBitRate() const { return line_->CanSetBitRate(); }
std::string RecordingSerialLine::LostReason() const { return line_->LostReason(); }
void RecordingSerialLine::Close() { line_->Close(); }
bool RecordingSerialLine::IsOpen() const { return line_->IsOpen(); }
void RecordingSerialLine::SetFormat(const LineFormat& format) { line_->SetFormat(format); }
int RecordingSerialLine::BitRate() const { return line_->BitRate(); }
void RecordingSerialLine::Purge() { line_->Purge(); }

bool RecordingSerialLine::ReadByte(uint8_t& byte, int timeoutMs) {
    const bool got = line_->ReadByte(byte, timeoutMs);
    std::lock_guard lock(mutex_);
    readWaitsMs_.push_back(timeoutMs);
    if (got) ++read_;
    else readTimeouts_.push_back(Clock::now());
    return got;
}

int RecordingSerialLine::Write(const uint8_t* data, int length, int timeoutMs) {
    // The port writes a whole frame at once; unstuff it to keep what the tool asked.
    const std::vector<uint8_t> body = RequestContent(data, size_t(std::max(length, 0)));
    if (OnRequest) OnRequest(body);

    bool fail = false;
    {
        std::lock_guard lock(mutex_);
        fail = failWrites_;
        requests_.push_back({body, Clock::now(), fail, timeoutMs});
    }
    if (fail) return 0;
    const int written = line_->Write(data, length, timeoutMs);
    std::lock_guard lock(mutex_);
    written_ += uint64_t(std::max(written, 0));
    return written;
}

RecordingSerialLine& UseRecordingLine() {
    auto line = std::make_unique<RecordingSerialLine>();
    RecordingSerialLine& ref = *line;
    ComPort.SetLine(std::move(line));
    return ref;
}
