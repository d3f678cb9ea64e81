#pragma once
// Reads an exchange log the tester wrote (Windows-1251, one stamped entry per line) into the
// answers a replaying controller gives: for every request frame, the answer frames recorded
// after it, in their order. Descriptions, statistics and lines it cannot read are skipped.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ReplayAnswer {
    std::vector<uint8_t> Bytes;  // as the tester read them off the line; empty: silence
    int64_t GapMs = -1;          // request entry to answer entry; -1 when a stamp was unreadable
};

struct ReplayLog {
    // Key: the request frame bytes as written to the line (CRC, stuffing and terminator).
    std::map<std::vector<uint8_t>, std::vector<ReplayAnswer>> Answers;
    int Requests = 0;        // request entries read
    int SkippedLines = 0;    // tagged lines whose bytes could not be read
};

ReplayLog ParseReplayLog(std::string_view cp1251Text);
// Reads the file; false with a reason when it cannot be read.
bool LoadReplayLog(const std::string& path, ReplayLog& log, std::string& error);

// "C0 01 FF" -> bytes; false for anything but two-digit hex numbers split by blanks.
bool ParseHexLine(std::string_view text, std::vector<uint8_t>& bytes);
// Milliseconds since midnight of an entry stamp ("<date> 17:48:22:123 "), -1 when none.
// A 12-hour clock's "PM" counts.
int64_t StampMsOfDay(std::string_view stamp);
