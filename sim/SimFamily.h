#pragma once
// The pieces a family of simulated commands is made of: the request it reads, the answer it
// builds, its rows of the handler table, its command-line options and its time hook.
// Handlers are pure: request content in, answer content out, time only from the controller's
// injected clock (SimController::NowMs).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class SimController;
struct SimConfig;

// Request content as received: byte 0 address, byte 1 command, parameters from byte 2.
struct SimRequest {
    std::span<const uint8_t> Bytes;

    size_t Length() const { return Bytes.size(); }
    uint8_t Command() const { return Bytes.size() > 1 ? Bytes[1] : 0; }
    // The sub-code is the first parameter byte of the commands that have one.
    int SubCode() const { return Bytes.size() > 2 ? Bytes[2] : -1; }
    uint8_t U8(size_t at) const { return at < Bytes.size() ? Bytes[at] : 0; }
    uint16_t U16(size_t at) const { return uint16_t(U8(at) | U8(at + 1) << 8); }
    uint32_t U32(size_t at) const { return uint32_t(U16(at)) | uint32_t(U16(at + 2)) << 16; }
    uint64_t U64(size_t at) const { return uint64_t(U32(at)) | uint64_t(U32(at + 4)) << 32; }
};

// Result codes the simulated firmware uses most.
enum SimResult : uint8_t {
    kResultOk = 0,
    kResultUnknownRequest = 13,
    kResultInvalidData = 18,
    kResultWrongLength = 29,
};

// Answer content being built: address, echoed command, result code, then data (little-endian).
struct SimAnswer {
    std::vector<uint8_t> Bytes;
    int DelayMs = 0;      // extra time before the first byte, for slow commands
    bool Silent = false;  // the controller says nothing at all
    std::vector<std::string> Notes;  // lines for the -v log: what the request changed

    SimAnswer() = default;
    SimAnswer(uint8_t address, uint8_t command) : Bytes{address, command, kResultOk} {}

    void Result(uint8_t code) { Bytes.resize(3); Bytes[2] = code; }
    uint8_t ResultCode() const { return Bytes.size() > 2 ? Bytes[2] : 0; }
    SimAnswer& U8(uint8_t v) { Bytes.push_back(v); return *this; }
    SimAnswer& U16(uint16_t v) { U8(uint8_t(v)); return U8(uint8_t(v >> 8)); }
    SimAnswer& U32(uint32_t v) { U16(uint16_t(v)); return U16(uint16_t(v >> 16)); }
    SimAnswer& U64(uint64_t v) { U32(uint32_t(v)); return U32(uint32_t(v >> 32)); }
    SimAnswer& Append(std::span<const uint8_t> v) { Bytes.insert(Bytes.end(), v.begin(), v.end()); return *this; }
    SimAnswer& Zeros(size_t n) { Bytes.insert(Bytes.end(), n, 0); return *this; }
};

// Answers "wrong request length" and returns false unless the request has exactly `length` bytes.
inline bool RequireLength(const SimRequest& rq, SimAnswer& a, size_t length) {
    if (rq.Length() == length) return true;
    a.Result(kResultWrongLength);
    return false;
}
inline bool RequireMinLength(const SimRequest& rq, SimAnswer& a, size_t length) {
    if (rq.Length() >= length) return true;
    a.Result(kResultWrongLength);
    return false;
}

using SimHandler = void (*)(SimController& c, const SimRequest& rq, SimAnswer& a);

constexpr int kAnySubCode = -1;

// One row of the handler table. The first row whose command and sub-code match and whose
// Accepts (when given) agrees handles the request; Accepts tells apart forms of one command
// that differ by length or by a later byte.
struct SimHandlerRow {
    uint8_t Command;
    int SubCode;  // request byte 2, or kAnySubCode
    SimHandler Handler;
    bool (*Accepts)(const SimRequest& rq) = nullptr;
};

// One command-line option. Value is empty for a flag. On bad input Apply returns false and
// leaves a message in error.
struct SimOptionRow {
    const char* Name;       // "--manual"
    const char* ValueName;  // "N", or nullptr for a flag
    const char* Help;
    bool (*Apply)(SimConfig& config, std::string_view value, std::string& error);
};

struct SimFamily {
    const char* Name;
    std::span<const SimHandlerRow> Handlers;
    std::span<const SimOptionRow> Options = {};
    // Runs before every request the controller handles, with the clock already advanced:
    // the place for things that go on over time (doses pouring).
    void (*Tick)(SimController& c) = nullptr;
    // For devices the controller speaks for on the same line (its sub-controller boards):
    // true when this family answers requests sent to that other bus address. Only the
    // family's own rows handle such requests.
    bool (*ServesAddress)(const SimController& c, uint8_t address) = nullptr;
};

// Parses a whole decimal number within [min, max] for options and reports the bad text.
bool ParseOptionNumber(std::string_view text, long long min, long long max, long long& out,
                       std::string& error);
