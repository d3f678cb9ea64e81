#include "sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <span>

#include "sim/Families.h"
#include "sim/SimClock.h"

bool ParseOptionNumber(std::string_view text, long long min, long long max, long long& out,
                       std::string& error) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        error = "not a whole number: '" + std::string(text) + "'";
        return false;
    }
    if (v < min || v > max) {
        error = std::string(text) + " is outside " + std::to_string(min) + ".." + std::to_string(max);
        return false;
    }
    out = v;
    return true;
}

bool IsSupportedBitRate(long long rate) {
    constexpr long long kRates[] = {4800, 9600, 19200, 38400, 57600, 115200};
    for (long long r : kRates)
        if (r == rate) return true;
    return false;
}

namespace {

using Apply = bool (*)(SimConfig&, std::string_view, std::string&);

// Stores a number within a range into a field of the configuration.
template <typename T>
bool SetNumber(std::string_view v, long long min, long long max, T& field, std::string& e) {
    long long n = 0;
    if (!ParseOptionNumber(v, min, max, n, e)) return false;
    field = T(n);
    return true;
}

// A share of answers in whole percent, 0..100; "25" and "25%" alike.
bool SetPercent(std::string_view v, int& field, std::string& e) {
    if (v.ends_with('%')) v.remove_suffix(1);
    return SetNumber(v, 0, 100, field, e);
}

bool ParseBitRate(std::string_view v, int& rate, std::string& e) {
    long long n = 0;
    if (!ParseOptionNumber(v, 1, 1000000, n, e)) return false;
    if (!IsSupportedBitRate(n)) {
        e = "unsupported bit rate " + std::string(v) + " (4800, 9600, 19200, 38400, 57600, 115200)";
        return false;
    }
    rate = int(n);
    return true;
}

// "A:B" with both halves numbers within their ranges.
bool ParsePair(std::string_view v, long long maxA, long long maxB, long long& a, long long& b,
               std::string& e) {
    size_t colon = v.find(':');
    if (colon == std::string_view::npos) {
        e = "expected two numbers joined by ':', got '" + std::string(v) + "'";
        return false;
    }
    return ParseOptionNumber(v.substr(0, colon), 0, maxA, a, e) &&
           ParseOptionNumber(v.substr(colon + 1), 0, maxB, b, e);
}

bool ParseSecond(SimConfig& c, std::string_view v, std::string& e) {
    size_t colon = v.find(':');
    if (colon == std::string_view::npos) {
        e = "expected ADDRESS:BAUD, got '" + std::string(v) + "'";
        return false;
    }
    if (!SetNumber(v.substr(0, colon), 1, 254, c.SecondAddress, e)) return false;
    if (!ParseBitRate(v.substr(colon + 1), c.SecondBitRate, e)) return false;
    c.Second = true;
    return true;
}

// ADDR:BAUD or ADDR:BAUD:TYPE.
bool ParseBusDevice(SimConfig& c, std::string_view v, std::string& e) {
    SimConfig::BusDevice d;
    const size_t colon = v.find(':');
    const size_t typeColon = colon == std::string_view::npos ? colon : v.find(':', colon + 1);
    if (colon == std::string_view::npos) {
        e = "expected ADDRESS:BAUD[:TYPE], got '" + std::string(v) + "'";
        return false;
    }
    if (!SetNumber(v.substr(0, colon), 1, 254, d.Address, e)) return false;
    if (!ParseBitRate(v.substr(colon + 1, typeColon - colon - 1), d.BitRate, e)) return false;
    if (typeColon != std::string_view::npos && !SetNumber(v.substr(typeColon + 1), 0, 65535, d.DeviceType, e))
        return false;
    c.BusDevices.push_back(d);
    return true;
}

bool ParseForcedResult(SimConfig& c, std::string_view v, std::string& e) {
    long long command = 0, result = 0;
    if (!ParsePair(v, 255, 255, command, result, e)) return false;
    c.Faults.ForcedResults.push_back({uint8_t(command), uint8_t(result)});
    return true;
}

const SimOptionRow kCoreOptions[] = {
    {"--address", "N", "bus address of the controller, 1..254 (default 1)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 1, 254, c.Controller.Address, e); }},
    {"--baud", "N", "bit rate it listens at: 4800 (VRX 2.0 only), 9600 (default), 19200, 38400, 57600, 115200",
     [](SimConfig& c, std::string_view v, std::string& e) { return ParseBitRate(v, c.Controller.BitRate, e); }},
    {"--pace", nullptr, "send answer bytes at the line rate (10 bits a byte, 11 at 4800)",
     [](SimConfig& c, std::string_view, std::string&) { return c.Pace = true; }},
    {"--pace-burst", "N", "with --pace, hand answer bytes to the port N at a time, as a receiver FIFO or a USB "
                          "adapter's frames do (default 1)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 1, 4096, c.PaceBurst, e); }},
    {"--link", "PATH", "also make PATH a symlink to the port (removed at exit)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         if (v.empty()) { e = "empty path"; return false; }
         c.LinkPath = std::string(v);
         return true;
     }},
    {"--replay", "LOGFILE", "answer only as the tester's exchange log LOGFILE recorded (the same request "
                            "gets its recorded answers in order, the last again; others get silence)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         if (v.empty()) { e = "empty path"; return false; }
         c.ReplayPath = std::string(v);
         return true;
     }},
    {"--replay-timing", nullptr, "with --replay: each answer comes as long after its request as recorded",
     [](SimConfig& c, std::string_view, std::string&) { return c.ReplayTiming = true; }},
    {"--seed", "N", "seed of the fault choices, so a run can be repeated",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 0, INT64_MAX, c.Seed, e); }},
    {"-v", nullptr, "log every request and answer in hex on stderr",
     [](SimConfig& c, std::string_view, std::string&) { return c.Verbose = true; }},
    {"--help", nullptr, "this text",
     [](SimConfig& c, std::string_view, std::string&) { return c.Help = true; }},
    {"--version", nullptr, "the program's version",
     [](SimConfig& c, std::string_view, std::string&) { return c.Version = true; }},
    // Identity
    {"--id-length", "N", "content length of the identification answer, 3..64 (default 27; older firmware 20, 21, 26)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 3, 64, c.Controller.IdentityAnswerLength, e); }},
    {"--device-type", "N", "device type code, 0..65535 (default 33; bit 15 = boot loader, e.g. 32801)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 0, 65535, c.Controller.DeviceType, e); }},
    {"--refuse-address", nullptr, "refuse every change of the bus address (result 18)",
     [](SimConfig& c, std::string_view, std::string&) { return c.Controller.RefuseAddressChange = true; }},
    {"--md5-delay", "MS", "time the firmware MD5 takes before it is answered, 0..10000 (default 0)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 0, 10000, c.Controller.Md5DelayMs, e); }},
    {"--hardware-error", "N", "hardware error code reported in the identification, 0..255",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 0, 255, c.Controller.HardwareError, e); }},
    {"--standing-clock", nullptr, "the real-time clock stands still at the time of start",
     [](SimConfig& c, std::string_view, std::string&) {
         SimClockState& clock = c.Controller.Clock;
         clock.StandingUtc = ClockUtc(clock, HostClock()());
         return clock.Standing = true;
     }},
    {"--clock-offset", "S", "the clock runs S seconds ahead of the host (negative: behind)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return SetNumber(v, -(1LL << 32), 1LL << 32, c.Controller.Clock.OffsetSeconds, e);
     }},
    {"--zone", "Q", "time zone in quarter hours east of UTC, -48..56 (default: the host's standard time)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, -48, 56, c.Controller.Clock.Zone, e); }},
    // Bus
    {"--second", "ADDR:BAUD", "a second controller on the line at its own address and bit rate",
     ParseSecond},
    {"--twin", nullptr, "a second device at the controller's address that answers together with it",
     [](SimConfig& c, std::string_view, std::string&) { return c.Twin = true; }},
    {"--device", "ADDR:BAUD[:TYPE]", "one more device on the line (repeatable; at 4800 a VRX 2.0 device); "
                                     "two at one address and rate answer together",
     ParseBusDevice},
    // Faults
    {"--drop", "PERCENT", "share of answers left out, 0..100 percent",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetPercent(v, c.Faults.DropPercent, e); }},
    {"--bad-crc", "PERCENT", "share of answers whose CRC does not match, 0..100 percent",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetPercent(v, c.Faults.BadCrcPercent, e); }},
    {"--cut", "PERCENT", "share of answers that stop before their terminator, 0..100 percent",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetPercent(v, c.Faults.CutPercent, e); }},
    {"--late", "PERCENT", "share of answers held back until the next request (or --late-ms), 0..100 percent",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetPercent(v, c.Faults.LatePercent, e); }},
    {"--late-ms", "MS", "how long a late answer waits at most, 1..60000 (default 1500)",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetNumber(v, 1, 60000, c.Faults.LateMs, e); }},
    {"--wrong-echo", "PERCENT", "share of answers that echo another command code, 0..100 percent",
     [](SimConfig& c, std::string_view v, std::string& e) { return SetPercent(v, c.Faults.WrongEchoPercent, e); }},
    {"--result", "CMD:CODE", "answer command CMD with result code CODE only (repeatable)",
     ParseForcedResult},
};

const SimOptionRow* FindOption(std::string_view name) {
    for (const SimOptionRow& row : kCoreOptions)
        if (name == row.Name) return &row;
    for (const SimFamily* family : AllFamilies())
        for (const SimOptionRow& row : family->Options)
            if (name == row.Name) return &row;
    return nullptr;
}

void AppendHelp(std::string& out, std::span<const SimOptionRow> rows) {
    for (const SimOptionRow& row : rows) {
        std::string head = "  " + std::string(row.Name);
        if (row.ValueName) head += " " + std::string(row.ValueName);
        // Help texts line up in one column; a longer option pushes only its own text.
        head.resize(std::max<size_t>(head.size() + 2, 24), ' ');
        out += head + row.Help + "\n";
    }
}

}  // namespace

bool ParseSimArguments(const std::vector<std::string>& args, SimConfig& config,
                       std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view name = arg, value;
        size_t eq = arg.find('=');
        bool inlineValue = arg.starts_with("--") && eq != std::string_view::npos;
        if (inlineValue) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const SimOptionRow* row = FindOption(name);
        if (!row) {
            error = "unknown option " + std::string(arg) + " (see --help)";
            return false;
        }
        if (row->ValueName && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value " + row->ValueName;
                return false;
            }
            value = args[++i];
        } else if (!row->ValueName && inlineValue) {
            error = std::string(name) + " takes no value";
            return false;
        }
        std::string why;
        if (!row->Apply(config, value, why)) {
            error = std::string(name) + ": " + why;
            return false;
        }
    }
    return true;
}

#ifndef ORNIX_VERSION
#define ORNIX_VERSION "0"
#endif

std::string SimVersionText() { return std::string("ornix-sim ") + ORNIX_VERSION + "\n"; }

std::string SimHelpText() {
    std::string out =
        "Usage: ornix-sim [options]\n"
        "A virtual Ornix controller on a pseudo-terminal. The first line printed is the port\n"
        "name to give the tester (\"pts/3\"); it runs until interrupted.\n\n";
    AppendHelp(out, kCoreOptions);
    for (const SimFamily* family : AllFamilies())
        if (!family->Options.empty()) {
            out += std::string("\n") + family->Name + ":\n";
            AppendHelp(out, family->Options);
        }
    return out;
}
