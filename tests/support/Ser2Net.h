#pragma once
// A real ser2net for a test: a generated YAML configuration puts one serial device (the
// simulator's pty) behind a free port on 127.0.0.1, as RFC 2217 or as raw TCP. The process
// stops with the object; Kill() ends it at once, as a converter that loses power.
#include <sys/types.h>

#include <string>

class Ser2Net {
public:
    enum class Mode { Rfc2217, RawTcp };
    // `device` is a path ("/dev/pts/3"); `options` more lines for the connection's options
    // ("    chardelay: false\n"). Started() tells whether it listens.
    Ser2Net(const std::string& device, Mode mode, const std::string& options = {});
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    bool Started() const { return listening_; }
    const std::string& Error() const { return error_; }
    int Port() const { return port_; }
    // The tool's port name for it: "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
    std::string PortName() const;
    void Kill();

private:
    pid_t pid_ = -1;
    int port_ = 0;
    Mode mode_;
    bool listening_ = false;
    std::string dir_;
    std::string error_;
};

// A TCP port on 127.0.0.1 that nobody listens on right now.
int FreeLoopbackPort();
