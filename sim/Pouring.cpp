#include "sim/Pouring.h"

#include <algorithm>

#include "sim/SimClock.h"
#include "sim/SimController.h"

namespace {

// Enough steps for several fills per tick; after a long jump of the clock the rest of
// the time passes without fills, which a real controller that was off would not pour either.
constexpr int kMaxStepsPerTick = 64;
constexpr int64_t kConfirmDelayMs = 2000;
constexpr int64_t kCustomerPauseMs = 3000;

SimFillStamp StampAt(const SimController& c, int64_t ms) {
    const SimClockState& clock = c.State.Clock;
    return {ClockUtc(clock, ms), clock.Zone, clock.SummerMode};
}

uint32_t MoneyFor(uint64_t millilitres, uint32_t pricePerLitre) {
    return static_cast<uint32_t>(millilitres * pricePerLitre / 1000);
}

bool CustomerServes(const SimPouring& p, int channel) {
    return p.Customers && channel < p.CustomerChannels;
}

// The next customer's wish: 2 to 20 litres, mostly from the controller's keyboard, now and
// then from the remote control or by simply lifting the nozzle.
uint32_t CustomerDose(const SimChannelPour& ch, int channel) {
    return 2000 + ((ch.Transaction + 1) * 7919u + uint32_t(channel) * 1237u) % 37 * 500;
}
uint8_t CustomerSource(const SimChannelPour& ch) {
    static constexpr uint8_t Sources[] = {kSourceController, kSourceController, kSourceRemote,
                                          kSourceController, kSourceNozzle};
    return Sources[ch.Transaction % 5];
}

void Begin(const SimController& c, SimChannelPour& ch, uint32_t doseMl, uint8_t source, int64_t ms) {
    ch.Phase = SimFillPhase::Pouring;
    ch.Source = source;
    ch.DoseMl = doseMl;
    ch.PouredMl = 0;
    ch.OverfillMl = 0;
    ch.PouredMoney = 0;
    ch.FractionMl = 0;
    ch.Start = StampAt(c, ms);
}

void Finish(const SimController& c, const SimPouring& p, SimChannelPour& ch, int64_t ms) {
    // Valves never close at once: a few millilitres run over the dose.
    ch.OverfillMl = ch.Transaction % 3 * 5;
    uint64_t delivered = uint64_t(ch.DoseMl) + ch.OverfillMl;
    ch.TotalMl += delivered;
    ch.OverfillTotalMl += ch.OverfillMl;
    ch.MoneyTotal += MoneyFor(ch.DoseMl, ch.PricePerLitre);
    if (ch.Source == kSourceNozzle) ch.ManualTotalMl += delivered;
    if (ch.Source == kSourceRemote) ch.RemoteTotalMl += static_cast<uint32_t>(delivered);
    ++ch.Transaction;
    ++ch.Fills;
    ch.Last = {ch.Transaction, ch.Start, StampAt(c, ms), ch.DoseMl, ch.PouredMl,
               p.FlowmeterBaseMl, ch.Coefficient, ch.TotalMl, ch.OverfillTotalMl};
    ch.Phase = SimFillPhase::Finished;
    ch.NextCustomerMs = ms + kConfirmDelayMs;
}

void Confirm(SimChannelPour& ch, int64_t ms) {
    ch.Phase = SimFillPhase::Ready;
    ch.NextCustomerMs = ms + kCustomerPauseMs + ch.Transaction % 4 * 1000;
}

// Pours `ms` milliseconds worth at the flow rate, keeping fractions of a millilitre.
void Pour(SimChannelPour& ch, uint32_t flowMlPerSecond, int64_t ms) {
    double flow = ch.FractionMl + double(flowMlPerSecond) * double(ms) / 1000.0;
    uint32_t whole = static_cast<uint32_t>(std::min<double>(flow, ch.DoseMl - ch.PouredMl));
    ch.FractionMl = flow - whole;
    ch.PouredMl += whole;
    ch.PouredMoney = MoneyFor(ch.PouredMl, ch.PricePerLitre);
}

void Advance(SimController& c, SimPouring& p, int channel, int64_t from, int64_t to) {
    SimChannelPour& ch = p.Channels[channel];
    const bool customer = CustomerServes(p, channel);
    int64_t t = from;
    for (int step = 0; t < to && step < kMaxStepsPerTick; ++step) {
        switch (ch.Phase) {
        case SimFillPhase::Ready:
            if (!customer || ch.NextCustomerMs >= to) return;
            t = std::max(t, ch.NextCustomerMs);
            Begin(c, ch, CustomerDose(ch, channel), CustomerSource(ch), t);
            break;
        case SimFillPhase::Pouring: {
            if (p.FlowMlPerSecond == 0) return;
            double left = double(ch.DoseMl - ch.PouredMl) - ch.FractionMl;
            int64_t needMs = std::max<int64_t>(0, int64_t(left * 1000.0 / p.FlowMlPerSecond + 0.999));
            if (t + needMs > to) {
                Pour(ch, p.FlowMlPerSecond, to - t);
                return;
            }
            ch.PouredMl = ch.DoseMl;
            ch.PouredMoney = MoneyFor(ch.PouredMl, ch.PricePerLitre);
            t += needMs;
            Finish(c, p, ch, t);
            break;
        }
        case SimFillPhase::Finished:
            if (!customer || ch.NextCustomerMs >= to) return;
            t = std::max(t, ch.NextCustomerMs);
            Confirm(ch, t);
            break;
        case SimFillPhase::Stopped:
            return;  // only the host moves a stopped fill on
        }
    }
}

}  // namespace

void PourUntilNow(SimController& c) {
    SimPouring& p = c.State.Pouring;
    const int64_t now = c.NowMs();
    if (p.LastTickMs < 0) {
        // The first look at the clock: customers arrive one after another from now on.
        for (int i = 0; i < kSimChannels; ++i) p.Channels[i].NextCustomerMs = now + 500 + i * 1500;
        p.LastTickMs = now;
        return;
    }
    if (now <= p.LastTickMs) return;  // a test's clock may stand or step back
    for (int i = 0; i < kSimChannels; ++i) Advance(c, p, i, p.LastTickMs, now);
    p.LastTickMs = now;
}

bool StartFill(SimController& c, int channel, uint32_t doseMl, uint8_t source) {
    if (channel < 0 || channel >= kSimChannels || doseMl == 0) return false;
    SimChannelPour& ch = c.State.Pouring.Channels[channel];
    if (ch.Phase != SimFillPhase::Ready) return false;
    Begin(c, ch, doseMl, source, c.NowMs());
    return true;
}

bool ConfirmFill(SimController& c, int channel) {
    if (channel < 0 || channel >= kSimChannels) return false;
    SimChannelPour& ch = c.State.Pouring.Channels[channel];
    if (ch.Phase == SimFillPhase::Stopped) {
        // What was poured is the fill: it is booked like a dose that ran out.
        ch.DoseMl = ch.PouredMl;
        Finish(c, c.State.Pouring, ch, c.NowMs());
    }
    if (ch.Phase != SimFillPhase::Finished) return false;
    Confirm(ch, c.NowMs());
    return true;
}

bool StopFill(SimController& c, int channel) {
    if (channel < 0 || channel >= kSimChannels) return false;
    SimChannelPour& ch = c.State.Pouring.Channels[channel];
    if (ch.Phase != SimFillPhase::Pouring) return false;
    ch.Phase = SimFillPhase::Stopped;
    return true;
}

bool ContinueFill(SimController& c, int channel) {
    if (channel < 0 || channel >= kSimChannels) return false;
    SimChannelPour& ch = c.State.Pouring.Channels[channel];
    if (ch.Phase != SimFillPhase::Stopped) return false;
    ch.Phase = SimFillPhase::Pouring;
    return true;
}

uint32_t FlowLitresPerMinute(const SimPouring& p, int channel) {
    if (channel < 0 || channel >= kSimChannels) return 0;
    if (p.Channels[channel].Phase != SimFillPhase::Pouring) return 0;
    return p.FlowMlPerSecond * 60 / 1000;
}
