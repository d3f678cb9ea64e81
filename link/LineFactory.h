#pragma once
// The line a port name stands for: "rfc2217://HOST:PORT" a converter speaking Telnet with the
// COM-PORT-OPTION, "tcp://HOST:PORT" a converter passing bytes as they are, anything else a
// local serial device.
#include <memory>
#include <string>

#include "link/SerialLine.h"

std::unique_ptr<SerialLine> MakeLineFor(const std::string& portName);
// What that line's Open takes: the device path of a local port, the whole name of a network one.
std::string LineTargetFor(const std::string& portName);
// False when opening may take a network's time (connect and negotiation): the window does
// not try such a port on its own thread.
bool OpensAtOnce(const std::string& portName);
