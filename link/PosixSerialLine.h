#pragma once
// SerialLine over a POSIX tty: termios raw mode, poll() for the time-outs.
#include "link/SerialLine.h"

class PosixSerialLine : public SerialLine {
public:
    PosixSerialLine() = default;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;
    ~PosixSerialLine() override { Close(); }

    bool Open(const std::string& path) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    void SetFormat(const LineFormat& format) override;
    int BitRate() const override;
    bool ReadByte(uint8_t& byte, int timeoutMs) override;
    int Write(const uint8_t* data, int length, int timeoutMs) override;
    void Purge() override;
    PortOpenFailure OpenFailure() const override { return failure_; }

private:
    int fd_ = -1;
    bool setExclusive_ = false;  // the exclusive flag is ours to clear on close
    bool setLowLatency_ = false; // so is the driver's low-latency flag
    int bitRate_ = 0;            // as the driver took it when the line was opened or set
    // What one read() brought beyond the byte asked for, handed out before the tty is asked
    // again: to the caller these bytes are still waiting in the input queue.
    uint8_t ahead_[256] = {};
    int aheadAt_ = 0;
    int aheadEnd_ = 0;
    bool moreQueued_ = false;    // the last read filled ahead_: the tty may hold more
    PortOpenFailure failure_;    // why the last Open failed
};

// True when this program could take the tty for itself now. Only opens, locks and closes:
// line settings, modem lines and an exclusive flag another program set stay as they were.
bool SerialPortIsFree(const std::string& path);

// The device path for a port name: "/dev/" + name, an absolute name as it stands.
std::string SerialDevicePath(const std::string& portName);
