#pragma once
// What the two network lines share: the connection named by the port name, received data
// handed out byte by byte, the round trip, and the reasons for a failed open or a lost line.
// How the bytes travel (as they are, or inside Telnet) is the subclass's.
#include <chrono>
#include <string>
#include <vector>

#include "link/NetSocket.h"
#include "link/SerialLine.h"

class NetLine : public SerialLine {
public:
    NetLine(const NetLine&) = delete;
    NetLine& operator=(const NetLine&) = delete;

    // `path` is the whole port name ("rfc2217://host:4000").
    bool Open(const std::string& path) override;
    void Close() override;
    bool IsOpen() const override { return socket_.IsOpen(); }
    int BitRate() const override { return IsOpen() ? bitRate_ : 0; }
    bool ReadByte(uint8_t& byte, int timeoutMs) override;
    PortOpenFailure OpenFailure() const override { return failure_; }
    int RoundTripMicros() const override { return roundTripMicros_; }
    std::string LostReason() const override { return socket_.Lost(); }

    // Time allowed for the TCP connection; the open fails with a time-out beyond it.
    int ConnectTimeoutMs = 5000;

protected:
    using Clock = std::chrono::steady_clock;
    explicit NetLine(NetLineKind kind) : kind_(kind) {}

    // After the connection stands: the subclass's own start (the Telnet negotiation). False
    // with the reason in `why` when the line cannot be used.
    virtual bool Start(std::string& why) = 0;
    // Received bytes, as they came off the connection, into data for the caller.
    virtual void Arrived(const uint8_t* bytes, int n) = 0;
    // Receives once, waiting at most until the deadline; false on time-out or a lost line.
    bool Pump(Clock::time_point deadline);
    // Bytes onto the connection as they are; the count written.
    int SendRaw(const uint8_t* bytes, int n, Clock::time_point deadline) { return socket_.Send(bytes, n, deadline); }
    // Drops received data, and what has already arrived on the connection too.
    void DropReceived();
    // One exchange-log entry naming the endpoint.
    void Log(const std::string& text) const;

    std::vector<uint8_t> data_;  // received data not yet handed out
    size_t dataAt_ = 0;
    int bitRate_ = 0;
    int roundTripMicros_ = -1;
    std::string portName_;

private:
    NetLineKind kind_;
    NetSocket socket_;
    PortOpenFailure failure_;
};
