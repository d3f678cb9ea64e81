// Counters and per-fill records: last fill (208), data block (209 without parameters),
// totals in two layouts (249 sub-codes 2 and 3), temperatures and supply voltage (252).
// All of them read the pouring model, which this family also advances before each request.
#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/Pouring.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kResultManualMode = 179;
constexpr uint8_t kResultNoLpgMassLink = 199;
constexpr uint8_t kLpgMassType = 4;
constexpr int kDataBlockChannels = 5;

// Data-block status bytes: bit n of each tells about channel n.
enum StatusByte { kPouringByte = 1, kFinishedByte = 2, kBlockedByte = 3, kReadyByte = 6 };

bool ChannelOk(const SimRequest& rq, SimAnswer& a, size_t at, int channels) {
    if (rq.U8(at) < channels) return true;
    a.Result(kResultInvalidData);
    return false;
}

void Stamp(SimAnswer& a, const SimFillStamp& s) { a.U32(s.Utc).U8(uint8_t(s.Zone)).U8(s.SummerMode); }

void ReadLastFill(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3) || !ChannelOk(rq, a, 2, kSimChannels)) return;
    const SimLastFill& f = c.State.Pouring.Channels[rq.U8(2)].Last;
    a.U8(rq.U8(2)).U32(f.Transaction);
    Stamp(a, f.Start);
    Stamp(a, f.End);
    a.U32(f.StartedDoseMl).U32(f.PouredMl).U32(f.FlowmeterBaseMl).U32(f.Coefficient)
        .U64(f.TotalMl).U32(f.OverfillTotalMl);
}

void ReadDataBlock(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 2)) return;
    const SimPouring& p = c.State.Pouring;
    uint8_t status[8] = {};
    for (int n = 0; n < kDataBlockChannels; ++n) {
        const SimChannelPour& ch = p.Channels[n];
        uint8_t bit = uint8_t(1 << n);
        if (c.State.Status.Channels[n].Blocked) status[kBlockedByte] |= bit;
        else if (ch.Phase == SimFillPhase::Pouring) status[kPouringByte] |= bit;
        else if (ch.Phase == SimFillPhase::Finished) status[kFinishedByte] |= bit;
        else status[kReadyByte] |= bit;
    }
    a.U8(kDataBlockChannels).Append(status);
    // The records: poured volume and money of the fill in progress, channel by channel.
    for (int n = 0; n < kDataBlockChannels; ++n) a.U32(p.Channels[n].PouredMl).U32(p.Channels[n].PouredMoney);
}

void Totals(SimAnswer& a, const SimChannelPour& ch) {
    a.U64(ch.TotalMl).U32(ch.OverfillTotalMl).U32(ch.Fills).U64(0).U32(0)
        .U64(ch.MoneyTotal).U64(ch.ManualTotalMl).U32(ch.RemoteTotalMl);
}

void ReadChannelTotals(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4) || !ChannelOk(rq, a, 3, kSimChannels)) return;
    a.U8(rq.U8(3)).U32(c.State.Pouring.FlowmeterBaseMl);
    Totals(a, c.State.Pouring.Channels[rq.U8(3)]);
}

void ReadChannelCounters(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4) || !ChannelOk(rq, a, 3, kSimChannels)) return;
    const SimChannelPour& ch = c.State.Pouring.Channels[rq.U8(3)];
    a.U8(rq.U8(3)).U32(ch.PouredMl).U32(ch.OverfillMl).U32(c.State.Pouring.FlowmeterBaseMl);
    Totals(a, ch);
}

// An LPGmass flowmeter configured on the channel that the controller cannot reach.
bool LpgMassSilent(const ControllerState& s, uint8_t channel) {
    if (channel >= s.Peripherals.Meters.size()) return false;
    return s.Status.Flowmeters[channel].Type == kLpgMassType && !s.Peripherals.Meters[channel].Answers;
}

// Display-board illumination drifts slowly, so the tool has something to follow.
uint8_t Illumination(int64_t ms, int board) {
    int64_t phase = (ms / 1000 + board * 40) % 200;
    return uint8_t(phase < 100 ? 60 + phase : 260 - phase);
}

void ReadTempsAndVoltages(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const ControllerState& s = c.State;
    // Both conditions only report; the readings come all the same.
    if (s.ManualMode) a.Result(kResultManualMode);
    else if (LpgMassSilent(s, rq.U8(2))) a.Result(kResultNoLpgMassLink);
    int64_t now = c.NowMs();
    a.U8(uint8_t(s.BoardTemperature)).U8(Illumination(now, 0)).U8(Illumination(now, 1))
        .U16(s.SupplyVoltage).Zeros(12);
}

bool IsPlainDataBlock(const SimRequest& rq) { return rq.Length() == 2; }

constexpr SimHandlerRow kRows[] = {
    {Cmd::ReadLastFill, kAnySubCode, ReadLastFill},
    {Cmd::ReadDataBlock, kAnySubCode, ReadDataBlock, IsPlainDataBlock},
    {Cmd::ReadTotals, 2, ReadChannelTotals},
    {Cmd::ReadTotals, 3, ReadChannelCounters},
    {Cmd::ReadTemps, kAnySubCode, ReadTempsAndVoltages},
};

constexpr SimOptionRow kOptions[] = {
    {"--manual", nullptr, "the controller is in manual mode (command 252 answers result 179)",
     [](SimConfig& c, std::string_view, std::string&) { return c.Controller.ManualMode = true; }},
    {"--no-customers", nullptr, "no fills start on their own; channels pour only doses the tool starts",
     [](SimConfig& c, std::string_view, std::string&) { c.Controller.Pouring.Customers = false; return true; }},
    {"--flow", "ML_PER_S", "flow rate of every fill, 1..5000 ml/s (default 600)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         long long n = 0;
         if (!ParseOptionNumber(v, 1, 5000, n, e)) return false;
         c.Controller.Pouring.FlowMlPerSecond = uint32_t(n);
         return true;
     }},
};

void Tick(SimController& c) { PourUntilNow(c); }

}  // namespace

const SimFamily CounterFamily{"counters", kRows, kOptions, Tick};
