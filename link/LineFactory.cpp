#include "link/LineFactory.h"

#include "link/NetSocket.h"
#include "link/PosixSerialLine.h"
#include "link/Rfc2217Line.h"
#include "link/TcpRawLine.h"

std::unique_ptr<SerialLine> MakeLineFor(const std::string& portName) {
    const auto kind = NetPortKind(portName);
    if (!kind) return std::make_unique<PosixSerialLine>();
    if (*kind == NetLineKind::Rfc2217) return std::make_unique<Rfc2217Line>();
    return std::make_unique<TcpRawLine>();
}

std::string LineTargetFor(const std::string& portName) {
    return IsNetPortName(portName) ? portName : SerialDevicePath(portName);
}

bool OpensAtOnce(const std::string& portName) { return !IsNetPortName(portName); }
