#pragma once
// The one small interface over the operating system's serial calls. TECOMPort talks only to
// this, so tests can put a scripted line or a pseudo-terminal under it.
#include <cstdint>
#include <functional>
#include <string>

#include "link/PortOpenFailure.h"

// Data bits, parity and stop bits that go with a bit rate.
struct LineFormat {
    int bitRate = 9600;
    int dataBits = 8;
    bool evenParity = false;
    int stopBits = 1;
};

// 4800 bit/s is the VRX 2.0 line (7 data bits, even parity, 2 stop bits); every other rate
// runs 8 data bits, no parity, 1 stop bit.
LineFormat LineFormatFor(int bitRate);

class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Opens the device exclusively and sets raw line settings; false when it cannot.
    virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual void SetFormat(const LineFormat& format) = 0;
    virtual int BitRate() const = 0;  // from the device's current settings; 0 when unknown

    // Waits at most `timeoutMs` for one byte; true when one arrived.
    virtual bool ReadByte(uint8_t& byte, int timeoutMs) = 0;
    // Writes within `timeoutMs` as much as the line takes; returns the bytes written.
    virtual int Write(const uint8_t* data, int length, int timeoutMs) = 0;
    // Drops whatever waits in both directions.
    virtual void Purge() = 0;
    // Why the last Open failed; a line that cannot tell says nothing.
    virtual PortOpenFailure OpenFailure() const { return {}; }

    // A line behind a network: the round trip measured when it opened, in microseconds;
    // -1 for a local line, whose time-outs need no allowance.
    virtual int RoundTripMicros() const { return -1; }
    // False where the rate is set at the far end and cannot be changed from here.
    virtual bool CanSetBitRate() const { return true; }
    // Why the line stopped working while open; empty while it works.
    virtual std::string LostReason() const { return {}; }
    // Asked now and then while an Open takes long (a network connect): true gives it up.
    std::function<bool()> GiveUp;
};
