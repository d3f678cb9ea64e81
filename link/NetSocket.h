#pragma once
// The TCP connection under a network line: port names "rfc2217://HOST:PORT" and
// "tcp://HOST:PORT" (HOST a name, an IPv4 address or [IPv6]), connecting with a time-out
// that can be given up, reads and writes bounded by time, and every failure as a text
// that names the endpoint.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

enum class NetLineKind { Rfc2217, RawTcp };

struct NetEndpoint {
    NetLineKind kind = NetLineKind::RawTcp;
    std::string host;  // without the brackets of an IPv6 address
    std::string port;  // decimal, 1..65535
    std::string text;  // "HOST:PORT" as the engineer wrote it, brackets kept
};

// The kind of line a name with one of the two network prefixes asks for, well formed or not.
std::optional<NetLineKind> NetPortKind(const std::string& portName);
inline bool IsNetPortName(const std::string& portName) { return NetPortKind(portName).has_value(); }
// The endpoint of a well-formed network port name.
std::optional<NetEndpoint> ParseNetPortName(const std::string& portName);

class NetSocket {
public:
    NetSocket() = default;
    NetSocket(const NetSocket&) = delete;
    NetSocket& operator=(const NetSocket&) = delete;
    ~NetSocket() { Close(); }

    // Resolves the host and connects to the first address that takes the connection, all
    // within `timeoutMs`; `giveUp` is asked every few milliseconds meanwhile. False with the
    // reason in Failure() when it cannot.
    bool Connect(const NetEndpoint& endpoint, int timeoutMs, const std::function<bool()>& giveUp);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Failure() const { return failure_; }
    // How long the TCP handshake took: one round trip of the network.
    std::chrono::microseconds ConnectTime() const { return connectTime_; }

    // Takes what has arrived, waiting at most until `deadline` for the first byte. Returns the
    // count, 0 on time-out, -1 when the connection is gone (reason in Lost()).
    int Receive(uint8_t* buffer, int capacity, std::chrono::steady_clock::time_point deadline);
    // Writes all of it unless the deadline passes or the connection is gone; returns the
    // bytes written.
    int Send(const uint8_t* data, int length, std::chrono::steady_clock::time_point deadline);
    // Why the connection went while open; empty while it stands.
    const std::string& Lost() const { return lost_; }

private:
    void MarkLost(const std::string& why);

    int fd_ = -1;
    std::string endpoint_;
    std::string failure_;
    std::string lost_;
    std::chrono::microseconds connectTime_{0};
};
