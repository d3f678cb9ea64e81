#pragma once
// The real serial line with a recorder in between: keeps the content of every request the
// tool writes (unframed, with the time it was written and the write time-out it got), the
// time-out every read was given, the times reads gave up, and the bytes that went each way. A test can make writes fail and can react to a request on the
// worker's own thread (say, to hand over an operation at an exact point of a poll pass).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "link/SerialLine.h"

class RecordingSerialLine : public SerialLine {
public:
    using Clock = std::chrono::steady_clock;
    struct Request {
        std::vector<uint8_t> Content;  // without CRC
        Clock::time_point At;
        bool Failed = false;           // the write was refused
        int TimeoutMs = 0;             // what the port allowed the whole frame
    };

    RecordingSerialLine();
    ~RecordingSerialLine() override;

    // Called on the writing thread for every request, before it goes out.
    std::function<void(const std::vector<uint8_t>& content)> OnRequest;
    void FailWrites(bool fail);

    std::vector<Request> Requests() const;
    std::vector<Clock::time_point> ReadTimeouts() const;
    std::vector<int> ReadWaitsMs() const;  // the time-out of every one-byte read, in order
    uint64_t BytesWritten() const;
    uint64_t BytesRead() const;

    bool Open(const std::string& path) override;
    void Close() override;
    bool IsOpen() const override;
    void SetFormat(const LineFormat& format) override;
    int BitRate() const override;
    bool ReadByte(uint8_t& byte, int timeoutMs) override;
    int Write(const uint8_t* data, int length, int timeoutMs) override;
    void Purge() override;
    PortOpenFailure OpenFailure() const override;
    int RoundTripMicros() const override;
    bool CanSetBitRate() const override;
    std::string LostReason() const override;

private:
    std::unique_ptr<SerialLine> line_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::vector<Clock::time_point> readTimeouts_;
    std::vector<int> readWaitsMs_;
    std::vector<uint8_t> frame_;  // request bytes up to the terminator
    uint64_t written_ = 0, read_ = 0;
    bool failWrites_ = false;
};

// Puts a recording line under ComPort (which owns it) and returns it.
RecordingSerialLine& UseRecordingLine();
