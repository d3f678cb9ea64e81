#pragma once
// The simulator's end of a pseudo-terminal. The tool opens the other end like a serial port.
#include <string>

#include "sim/SimBus.h"

class PtyPort {
public:
    PtyPort() = default;
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort() { Close(); }

    bool Open(std::string& error);
    // Points path at the port; an existing symlink there is replaced, anything else is kept
    // and reported, so that a mistyped path never destroys a file.
    bool MakeLink(const std::string& path, std::string& error);
    void Close();

    int MasterFd() const { return master_; }
    // The name the tool takes: the path below /dev ("pts/3").
    const std::string& PortName() const { return portName_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The line as the tool last set it: the master reports the settings of the slave side.
    // Only the rate: the pty driver keeps 8 bits without parity whatever was asked.
    LineSettings Line() const;
    // A serial line never echoes. A program that opened the port with terminal defaults
    // would have the pty hand every answer straight back to the simulator as a request.
    void StopEcho();
    // A program that set the port's exclusive flag and was killed leaves it set: the pty stays
    // open here, so the kernel never clears it, and every later open is refused. When no one
    // holds the port's lock (a live tester holds it as long as the port is open) the flag is
    // cleared; true when it was.
    bool ClearStaleExclusive();

private:
    int master_ = -1;
    int slave_ = -1;  // held open so the tool can close and reopen the port at will
    std::string slavePath_, portName_, link_;
};

// The bit rate of a termios speed constant, 0 for one we do not know.
int BitRateOfSpeed(unsigned speed);
