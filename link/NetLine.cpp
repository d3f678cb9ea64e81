#include "link/NetLine.h"

#include "link/ExchangeLog.h"

namespace {

constexpr char kBadName[] = "неверное имя порта: нужно rfc2217://ХОСТ:ПОРТ или tcp://ХОСТ:ПОРТ, IPv6 в скобках: [::1]";

}  // namespace

bool NetLine::Open(const std::string& path) {
    Close();
    failure_ = {};
    portName_ = path;
    auto fail = [this](const std::string& why) {
        failure_.problem = PortProblem::Other;
        failure_.reason = why;
        Close();
        return false;
    };
    const auto endpoint = ParseNetPortName(path);
    if (!endpoint || endpoint->kind != kind_) return fail(kBadName);
    if (!socket_.Connect(*endpoint, ConnectTimeoutMs, GiveUp)) return fail(socket_.Failure());
    roundTripMicros_ = static_cast<int>(socket_.ConnectTime().count());
    std::string why;
    if (!Start(why)) return fail(why);
    return true;
}

void NetLine::Close() {
    socket_.Close();
    data_.clear();
    dataAt_ = 0;
    bitRate_ = 0;
}

bool NetLine::Pump(Clock::time_point deadline) {
    uint8_t buffer[512];
    const int n = socket_.Receive(buffer, sizeof buffer, deadline);
    if (n <= 0) return false;
    if (dataAt_ == data_.size()) {
        data_.clear();
        dataAt_ = 0;
    }
    Arrived(buffer, n);
    return true;
}

bool NetLine::ReadByte(uint8_t& byte, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (dataAt_ == data_.size()) {
        // A pump may bring only Telnet commands and no data: wait on for the rest of the time.
        if (!Pump(deadline)) return false;
    }
    byte = data_[dataAt_++];
    return true;
}

void NetLine::DropReceived() {
    // Whatever has arrived up to now belongs to what is being dropped; commands in it still count.
    while (Pump(Clock::now())) {
    }
    data_.clear();
    dataAt_ = 0;
}

void NetLine::Log(const std::string& text) const {
    TELogger entry;
    entry.Append(portName_ + ": " + text + "\r\n");
}
