// The flowmeters of the controller's own channels: settings and readings (command 229/1),
// type and LPGmass address (230), crypto-flowmeter diagnostics (231) and its temperature
// offset (231/1). What they count is what the channels pour (sim/Pouring.h).
#include <algorithm>
#include <optional>
#include <string>

#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/SimConfig.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kCryptoType = 3;
constexpr uint8_t kLpgMassType = 4;
constexpr uint8_t kLastType = 4;

// The controller's codes for a flowmeter it cannot talk to.
constexpr uint8_t kResultCryptoSilent = 196;
constexpr uint8_t kResultLpgSilent = 199;

// A turn of the measuring wheel, and what a 14-bit angle sensor makes of it.
constexpr uint64_t kMlPerTurn = 250;
constexpr uint64_t kAngleSteps = 16384;

// Writing the offset means a flash write inside the flowmeter.
constexpr int kTempOffsetWriteMs = 300;

// A flowmeter of the controller's own channels: its type and voltage as command 209 also
// reports them, and what it tells the controller itself.
struct Flowmeter {
    SimFlowmeter& Look;
    SimMeterData& Data;
};

std::optional<Flowmeter> FlowmeterAt(SimController& c, int channel) {
    if (channel < 0 || channel >= kSimFlowmeters) return std::nullopt;
    return Flowmeter{c.State.Status.Flowmeters[size_t(channel)], c.State.Peripherals.Meters[size_t(channel)]};
}

// Millilitres through the meter: completed fills plus the fill in progress.
uint64_t MeteredMl(SimController& c, int channel) {
    PourUntilNow(c);
    const SimChannelPour& ch = c.State.Pouring.Channels[size_t(channel)];
    return ch.TotalMl + (ch.Phase == SimFillPhase::Pouring ? ch.PouredMl : 0);
}

uint16_t FlowMlPerSecond(SimController& c, int channel) {
    PourUntilNow(c);
    return c.State.Pouring.Channels[size_t(channel)].Phase == SimFillPhase::Pouring
               ? uint16_t(std::min<uint32_t>(c.State.Pouring.FlowMlPerSecond, 0xFFFF))
               : 0;
}

void ReadFlowmeterData(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const int channel = rq.U8(3);
    const auto f = FlowmeterAt(c, channel);
    if (!f) return a.Result(kResultInvalidData);
    const uint8_t type = f->Look.Type;
    if (type == kLpgMassType && !f->Data.Answers) return a.Result(kResultLpgSilent);
    const uint64_t ml = MeteredMl(c, channel);
    const uint32_t coefficient = c.State.Pouring.Channels[size_t(channel)].Coefficient;
    const uint64_t grams = type == kLpgMassType ? uint64_t(double(ml) * c.State.Peripherals.LpgDensity) : 0;
    a.U8(rq.U8(2)).U8(uint8_t(channel));  // echoed, not read by the tool
    a.U8(type).U8(f->Data.LpgAddress).U8(f->Look.Decivolts).U32(coefficient).U16(FlowMlPerSecond(c, channel));
    a.U32(uint32_t(ml * coefficient / 10000)).U32(0);  // pulses counted, reserved
    a.U64(grams).Zeros(8);
}

void WriteFlowmeterType(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const auto f = FlowmeterAt(c, rq.U8(2));
    const uint8_t type = rq.U8(3);
    const bool withAddress = rq.Length() == 5;
    const uint8_t address = rq.U8(4);
    if (!f || type > kLastType || (withAddress && (address == 0 || address == 255)))
        return a.Result(kResultInvalidData);
    f->Look.Type = type;
    if (withAddress) f->Data.LpgAddress = address;
}

void ReadCryptoData(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const int channel = rq.U8(2);
    const auto f = FlowmeterAt(c, channel);
    if (!f) return a.Result(kResultInvalidData);
    if (f->Look.Type != kCryptoType || !f->Data.Answers) return a.Result(kResultCryptoSilent);
    const SimMeterData& d = f->Data;
    const uint64_t ml = d.FactoryMl + MeteredMl(c, channel);
    const uint16_t angle = uint16_t(ml % kMlPerTurn * kAngleSteps / kMlPerTurn);
    const int temperature = std::clamp(d.Temperature + d.TempOffset, -126, 126);
    a.U8(uint8_t(channel));  // not read by the tool
    a.U8(d.Status).U8(d.Gain).U8(d.GainFlags).U16(d.Strength);
    a.U16(uint16_t((angle + d.AngleSkew) % kAngleSteps)).U16(angle).Zeros(6);
    a.U8(d.FirmwareVersion).U32(d.FirmwareDate);
    // Microlitres, so that the tool's millilitre column shows millilitres.
    a.U64(ml * 1000).U64(ml * 1000);
    a.U8(uint8_t(int8_t(temperature))).U8(uint8_t(d.TempOffset));
}

void WriteCryptoTempOffset(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const auto f = FlowmeterAt(c, rq.U8(3));
    const int offset = int8_t(rq.U8(4));
    if (!f || offset < -126 || offset > 126) return a.Result(kResultInvalidData);
    if (f->Look.Type != kCryptoType || !f->Data.Answers) return a.Result(kResultCryptoSilent);
    f->Data.TempOffset = int8_t(offset);
    a.DelayMs = kTempOffsetWriteMs;
}

// 229 asks the settings with sub-code 1 and the channel; 230 sets the type (and address);
// 231 reads the diagnostics (channel only) or, with sub-code 1 and two more bytes, sets
// the temperature offset. A read of channel 1 and the write both start "231, 1": the
// length tells them apart.
const SimHandlerRow kRows[] = {
    {Cmd::FlowmeterData, 1, ReadFlowmeterData, [](const SimRequest& rq) { return rq.Length() == 4; }},
    {Cmd::WriteFlowmeterType, kAnySubCode, WriteFlowmeterType, [](const SimRequest& rq) { return rq.Length() == 4 || rq.Length() == 5; }},
    {Cmd::CryptoFlowmeter, kAnySubCode, ReadCryptoData, [](const SimRequest& rq) { return rq.Length() == 3; }},
    {Cmd::CryptoFlowmeter, 1, WriteCryptoTempOffset, [](const SimRequest& rq) { return rq.Length() == 5; }},
};

// "2,4": channel numbers as the tool shows them, 1..5.
template <typename F>
bool ForEachChannel(std::string_view list, std::string& error, F&& f) {
    if (list.empty()) {
        error = "expected channel numbers 1..5 joined by ','";
        return false;
    }
    while (!list.empty()) {
        const size_t comma = std::min(list.find(','), list.size());
        long long channel = 0;
        if (!ParseOptionNumber(list.substr(0, comma), 1, kSimFlowmeters, channel, error)) return false;
        f(size_t(channel - 1));
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return true;
}

const SimOptionRow kOptions[] = {
    {"--crypto", "CHANNELS", "crypto flowmeters on these channels, e.g. 2,4 (1..5)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return ForEachChannel(v, e, [&](size_t i) { c.Controller.Status.Flowmeters[i].Type = kCryptoType; });
     }},
    {"--lpgmass", "CHANNELS", "LPGmass flowmeters on these channels (1..5)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return ForEachChannel(v, e, [&](size_t i) { c.Controller.Status.Flowmeters[i].Type = kLpgMassType; });
     }},
    {"--silent-flowmeter", "CHANNELS", "the crypto or LPGmass flowmeters on these channels do not answer",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return ForEachChannel(v, e, [&](size_t i) { c.Controller.Peripherals.Meters[i].Answers = false; });
     }},
};

}  // namespace

const SimFamily FlowmeterFamily{"flowmeters", kRows, kOptions};
