#pragma once
// The serial channel to the controller: frames requests, reads answers byte by byte
// and keeps the error state of the last exchange. Public fields and signatures are fixed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/DescriptionLines.h"
#include "link/ExchangeLog.h"
#include "link/LinkStatistics.h"
#include "link/SerialLine.h"

class TECOMPort {
public:
    uint8_t LastCommand = 0;
    bool Sending = false;
    uint8_t Buffer[1026] = {};
    int32_t AnswerLength = 0;
    std::string PortName, ResultText;
    int32_t Error = 0;

    int  Open();
    void Close();
    void SetReadTimeout(uint32_t ms);
    void SetBitRate(int rate);
    int  GetBitRate();
    void Send(const uint8_t* buf, int length);
    void SendBuffer(int length);
    int  Receive(uint8_t* buf, int capacity);
    int  ReceiveBuffer();
    void Exchange(uint8_t* buf, int length);
    void ExchangeBuffer(int length);
    void ReportWrongLength(int required);
    void SendVrx(const uint8_t* buf, int n);
    int  ReceiveVrx(uint8_t* buf, int capacity);

    // Bytes straight onto the line, without framing and without a log entry (the wake-up
    // bytes of the bus search); Purge then drops whatever waits in both directions.
    void WriteRaw(const uint8_t* bytes, int length);
    void Purge();
    // Describes a request for the exchange log. The port knows no commands: the layer that
    // does hands its describer down. Without one, an entry has no description line.
    using RequestDescriber = std::string (*)(const uint8_t* request, int length, int bitRate);
    RequestDescriber Describer = nullptr;

    // Why the last Open failed, for the engineer ("нет такого порта", "порт занят: minicom (pid 1234)");
    // empty after a successful Open. ResultText keeps the open-failure text as it is.
    std::string OpenFailureReason;

    // Figures of the exchanges since the last Reset (the poll cycle resets them when it starts).
    LinkStatistics Statistics;

    // Puts another line under the port (a test's scripted line); the default is the line the
    // port name stands for, made anew at each Open.
    void SetLine(std::unique_ptr<SerialLine> line);

    // Added to every answer time-out on a line behind a network; -1 takes the round trip
    // measured when the line opened. A local line gets no allowance whatever this says.
    int32_t ExtraTimeoutMs = -1;
    // What is added to every answer time-out since the last Open (0 on a local line).
    uint32_t TimeoutAllowanceMs() const { return allowanceMs_; }
    // False where the rate is the far end's own (a converter passing bytes as they are).
    bool CanSetBitRate() const { return !line_ || line_->CanSetBitRate(); }
    // Why the line stopped working while open (a lost connection); empty while it works.
    std::string LineLostReason() const { return line_ ? line_->LostReason() : std::string(); }
    // Asked while an Open takes long (a network connect); true gives it up.
    std::function<bool()> GiveUpOpen;

private:
    enum class WriteRule { AnyByte, WholeFrame };
    bool SendFrame(const uint8_t* buf, int length, WriteRule rule);
    int ReceiveFrame(uint8_t* buf, int capacity, bool keepDetailedLength);
    void CheckEcho(const uint8_t* answer);
    void CountExchange(std::chrono::steady_clock::time_point start);
    bool ReadOne(uint8_t& byte);
    // Feeds the parser byte by byte as bytes arrive; what arrived goes into hex_ as log text.
    template <class Parser>
    void Pump(Parser& rx);
    void LogFrame(TELogger& entry, const uint8_t* frame, int length, bool failed);
    // "Answer :", the bytes Pump kept and, after an error, the result text.
    void LogAnswer(TELogger& entry);
    int WriteFrame(const uint8_t* frame, int length);

    std::unique_ptr<SerialLine> line_;
    // Log text kept from one exchange to the next, so that making an entry allocates nothing.
    DescriptionLines descriptions_;
    std::string hex_;
    bool lineByName_ = false;  // line_ was made for PortName, so the next Open makes it anew
    uint32_t allowanceMs_ = 0;
    bool counted_ = false;  // the last exchange is in Statistics, so a reader's verdict can correct it
    uint32_t readConstantMs_ = 0;
    uint32_t readPerByteMs_ = 0;
    uint32_t writeConstantMs_ = 0;
    uint32_t writePerByteMs_ = 0;
};

extern TECOMPort ComPort;
