#include "link/TcpRawLine.h"

#include "link/LinkStatistics.h"

bool TcpRawLine::Start(std::string&) {
    exchanged_ = false;
    Log("соединение установлено, время круга " + Millis(uint64_t(roundTripMicros_)) +
        " мс; скорость и формат линии задаёт преобразователь");
    return true;
}

void TcpRawLine::SetFormat(const LineFormat& format) {
    if (!IsOpen()) return;
    // Until the first request the rate only says what the engineer chose for this line.
    if (!exchanged_ || bitRate_ == 0) {
        bitRate_ = format.bitRate;
        return;
    }
    if (format.bitRate == bitRate_) return;
    Log("перейти на " + std::to_string(format.bitRate) + " бит/с на этой линии нельзя: скорость задаёт преобразователь, остаётся " +
        std::to_string(bitRate_));
}

int TcpRawLine::Write(const uint8_t* data, int length, int timeoutMs) {
    if (!IsOpen()) return 0;
    exchanged_ = true;
    return SendRaw(data, length, Clock::now() + std::chrono::milliseconds(timeoutMs));
}
