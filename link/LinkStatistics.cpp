#include "link/LinkStatistics.h"

#include "link/ExchangeLog.h"
#include "link/ResultCodes.h"
#include "link/UserFormats.h"

namespace {

// Short names for the link's own error codes; result codes of the controller show by number.
const char* LinkErrorName(int code) {
    switch (code) {
    case kNoAnswer: return "нет ответа";
    case kBadCrc: return "CRC";
    case kNoFrameEnd: return "нет конца пакета";
    case kReceiverOverflow: return "переполнение";
    case kWrongLength: return "неверная длина";
    case kWriteFailed: return "ошибка записи";
    case kWrongEcho: return "неверное эхо";
    default: return nullptr;
    }
}

}  // namespace

std::string Millis(uint64_t micros) {
    const uint64_t tenths = (micros + 50) / 100;
    return std::to_string(tenths / 10) + CurrentUserFormats().DecimalSeparator + std::to_string(tenths % 10);
}

void LinkStatistics::SetNetworkAllowance(int roundTripMicros, uint32_t allowanceMs, bool overridden) {
    std::lock_guard lock(mutex_);
    roundTripMicros_ = roundTripMicros;
    allowanceMs_ = allowanceMs;
    allowanceOverridden_ = overridden;
}

std::string LinkStatistics::NetworkAllowanceText() const {
    std::lock_guard lock(mutex_);
    if (roundTripMicros_ < 0) return {};
    return "Сеть: время круга " + Millis(uint64_t(roundTripMicros_)) + " мс, к каждому тайм-ауту ответа +" +
           std::to_string(allowanceMs_) + " мс" + (allowanceOverridden_ ? " (задано настройкой)" : "");
}

void LinkStatistics::Reset() {
    std::lock_guard lock(mutex_);
    figures_.clear();
    lastError_ = 0;
}

void LinkStatistics::Record(uint8_t command, int error, std::chrono::microseconds elapsed) {
    std::lock_guard lock(mutex_);
    CommandFigures& f = figures_[command];
    ++f.exchanges;
    lastCommand_ = command;
    lastError_ = error;
    if (error != 0) ++f.errors[error];
    // Silence and a failed write bring no answer, and their time is only the time-out.
    if (error == kNoAnswer || error == kWriteFailed) return;
    ++f.answers;
    const auto micros = uint64_t(elapsed.count() > 0 ? elapsed.count() : 0);
    f.answerMicrosTotal += micros;
    if (micros > f.answerMicrosMax) f.answerMicrosMax = micros;
}

void LinkStatistics::Reclassify(uint8_t command, int error) {
    std::lock_guard lock(mutex_);
    if (lastError_ != 0 || lastCommand_ != command || !figures_.count(command)) return;
    ++figures_[command].errors[error];
    lastError_ = error;
}

LinkFigures LinkStatistics::Snapshot() const {
    std::lock_guard lock(mutex_);
    return figures_;
}

std::string LinkSummaryText(const LinkFigures& figures, const std::string& lineBreak) {
    std::string text;
    for (const auto& [command, f] : figures) {
        text += "Команда " + std::to_string(command) + ": обменов " + std::to_string(f.exchanges) + ", ответов " +
                std::to_string(f.answers);
        for (const auto& [code, count] : f.errors) {
            const char* name = LinkErrorName(code);
            text += ", " + (name ? std::string(name) : "код " + std::to_string(code)) + " — " + std::to_string(count);
        }
        if (f.answers > 0)
            text += ", время ответа ср. " + Millis(f.answerMicrosTotal / f.answers) + " мс, макс. " +
                    Millis(f.answerMicrosMax) + " мс";
        text += lineBreak;
    }
    return text;
}

void LogLinkSummary(const LinkStatistics& statistics) {
    const std::string text = LinkSummaryText(statistics.Snapshot(), "\r\n");
    if (text.empty()) return;
    TELogger entry;
    entry.Append("Статистика обмена\r\n" + text);
}
