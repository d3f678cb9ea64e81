#pragma once
// SerialLine over a plain TCP connection to a converter ("tcp://HOST:PORT"): bytes travel as
// they are. The line's rate, data bits and parity are the converter's own and cannot be set
// from here; the rate the tool was started with is taken to be it.
#include "link/NetLine.h"

class TcpRawLine : public NetLine {
public:
    TcpRawLine() : NetLine(NetLineKind::RawTcp) {}
    ~TcpRawLine() override { Close(); }

    void SetFormat(const LineFormat& format) override;
    bool CanSetBitRate() const override { return false; }
    int Write(const uint8_t* data, int length, int timeoutMs) override;
    void Purge() override { DropReceived(); }

private:
    bool Start(std::string& why) override;
    void Arrived(const uint8_t* bytes, int n) override { data_.insert(data_.end(), bytes, bytes + n); }

    bool exchanged_ = false;  // bytes went out since the open: the rate is fixed from here on
};
