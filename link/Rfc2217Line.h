#pragma once
// SerialLine over Telnet with the COM-PORT-OPTION ("rfc2217://HOST:PORT"): the converter sets
// its serial line as the tool asks (rate, data bits, parity, stop bits, purges) and confirms
// each setting; data bytes 0xFF travel doubled.
#include <array>
#include <optional>

#include "link/NetLine.h"
#include "link/TelnetCodec.h"

class Rfc2217Line : public NetLine {
public:
    Rfc2217Line() : NetLine(NetLineKind::Rfc2217) {}
    ~Rfc2217Line() override { Close(); }

    void SetFormat(const LineFormat& format) override;
    int Write(const uint8_t* data, int length, int timeoutMs) override;
    void Purge() override;

    // How long the converter may take to agree to the option and to confirm a setting.
    int NegotiationTimeoutMs = 1000;

private:
    bool Start(std::string& why) override;
    void Arrived(const uint8_t* bytes, int n) override;
    void SendCommands(const std::vector<uint8_t>& bytes);
    template <class Done>
    bool PumpUntil(Clock::time_point deadline, Done done);
    Clock::time_point NegotiationDeadline() const;

    TelnetDecoder decoder_;
    TelnetOptions options_;
    std::vector<TelnetEvent> events_;
    std::array<std::optional<uint32_t>, 16> replies_;  // by COM-PORT-OPTION command
    std::optional<LineFormat> confirmed_;               // as the converter last confirmed it
    bool purgeAnswered_ = true;  // false once a converter left a purge unanswered: not waited for again
};
