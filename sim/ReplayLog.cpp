#include "sim/ReplayLog.h"

#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

#include "link/Cp1251.h"

namespace {

// The tags the tester's port writes before the bytes of a request and of an answer.
constexpr std::string_view kRequestTag = "Request:";
constexpr std::string_view kAnswerTag = "Answer :";
constexpr int64_t kDayMs = 24 * 3600 * 1000;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Digits(std::string_view s, size_t at, size_t count) {
    if (at + count > s.size()) return false;
    for (size_t i = 0; i < count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[at + i]))) return false;
    return true;
}

int Number(std::string_view s, size_t at, size_t count) {
    int v = 0;
    for (size_t i = 0; i < count; ++i) v = v * 10 + (s[at + i] - '0');
    return v;
}

struct Pending {
    std::vector<uint8_t> Request;
    int64_t StampMs = -1;
};

// The text the tester writes under an answer entry when nothing came; whatever bytes the
// entry shows were noise it skipped, so the answer is silence.
const std::string& NoAnswerLine() {
    static const std::string text = Utf8ToCp1251("Нет ответа");
    return text;
}

}  // namespace

bool ParseHexLine(std::string_view text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return false;
        const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        if (i + 2 < text.size() && text[i + 2] != ' ' && text[i + 2] != '\t') return false;
        bytes.push_back(uint8_t(hi * 16 + lo));
        i += 2;
    }
    return true;
}

int64_t StampMsOfDay(std::string_view stamp) {
    while (!stamp.empty() && stamp.back() == ' ') stamp.remove_suffix(1);
    // The milliseconds close the stamp: ":123".
    if (stamp.size() < 4 || stamp[stamp.size() - 4] != ':' || !Digits(stamp, stamp.size() - 3, 3)) return -1;
    const int ms = Number(stamp, stamp.size() - 3, 3);
    const std::string_view time = stamp.substr(0, stamp.size() - 4);
    // The last "h:mm:ss" before them, whatever the date looks like.
    for (size_t i = time.size(); i-- > 0;) {
        if (time[i] != ':' || i < 4 || time[i - 3] != ':') continue;
        if (!Digits(time, i + 1, 2) || !Digits(time, i - 2, 2)) continue;
        const size_t hourEnd = i - 3;
        size_t hourStart = hourEnd;
        while (hourStart > 0 && hourEnd - hourStart < 2 && std::isdigit(static_cast<unsigned char>(time[hourStart - 1])))
            --hourStart;
        if (hourStart == hourEnd) continue;
        int hour = Number(time, hourStart, hourEnd - hourStart);
        const std::string_view rest = time.substr(i + 3);
        const bool pm = rest.find("PM") != std::string_view::npos || rest.find("pm") != std::string_view::npos;
        const bool am = rest.find("AM") != std::string_view::npos || rest.find("am") != std::string_view::npos;
        if (pm && hour < 12) hour += 12;
        if (am && hour == 12) hour = 0;
        const int minute = Number(time, i - 2, 2), second = Number(time, i + 1, 2);
        if (hour > 23 || minute > 59 || second > 60) return -1;
        return ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + ms;
    }
    return -1;
}

ReplayLog ParseReplayLog(std::string_view cp1251Text) {
    ReplayLog log;
    std::optional<Pending> pending;
    ReplayAnswer* last = nullptr;  // the answer just recorded, until its result line is seen
    size_t start = 0;
    while (start < cp1251Text.size()) {
        size_t end = cp1251Text.find('\n', start);
        if (end == std::string_view::npos) end = cp1251Text.size();
        std::string_view line = cp1251Text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (last && line == NoAnswerLine()) last->Bytes.clear();
        last = nullptr;

        const size_t requestAt = line.find(kRequestTag);
        const size_t answerAt = requestAt == std::string_view::npos ? line.find(kAnswerTag) : std::string_view::npos;
        if (requestAt == std::string_view::npos && answerAt == std::string_view::npos) continue;
        const size_t tagAt = requestAt != std::string_view::npos ? requestAt : answerAt;
        std::vector<uint8_t> bytes;
        if (!ParseHexLine(line.substr(tagAt + kRequestTag.size()), bytes)) {
            // The answer after an unreadable request is not the previous request's.
            if (requestAt != std::string_view::npos) pending.reset();
            ++log.SkippedLines;
            continue;
        }
        const int64_t stampMs = StampMsOfDay(line.substr(0, tagAt));
        if (requestAt != std::string_view::npos) {
            // A request the tester never read an answer for (a failed write) teaches nothing.
            ++log.Requests;
            pending = bytes.empty() ? std::nullopt : std::optional<Pending>(Pending{bytes, stampMs});
            continue;
        }
        if (!pending) continue;  // an answer without its request: the log began mid-exchange
        int64_t gap = -1;
        if (pending->StampMs >= 0 && stampMs >= 0) {
            gap = stampMs - pending->StampMs;
            if (gap < 0) gap += kDayMs;  // past midnight
        }
        auto& answers = log.Answers[pending->Request];
        answers.push_back({std::move(bytes), gap});
        last = &answers.back();
        pending.reset();
    }
    return log;
}

bool LoadReplayLog(const std::string& path, ReplayLog& log, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    // Tags and hex are ASCII; the one Cyrillic line looked for is compared in Windows-1251.
    log = ParseReplayLog(text.str());
    if (log.Answers.empty()) {
        error = path + " holds no recorded exchange";
        return false;
    }
    return true;
}
