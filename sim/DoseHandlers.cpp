// Doses and prices as a host sets them (commands 200..207): load by volume or money, start,
// stop, continue, confirm, block, price per channel. A command the controller cannot carry
// out in the channel's present state is refused with the code its firmware gives.
#include "link/CommandCodes.h"
#include "sim/Families.h"
#include "sim/Pouring.h"
#include "sim/SimConfig.h"
#include "sim/SimController.h"

namespace {

// Refusals of the dose commands.
enum DoseResult : uint8_t {
    kConfirmFirst = 33,
    kDisplayBusy = 181,
    kNozzleBlocked = 182,
    kNozzleBusy = 185,
    kNoDoseLoaded = 186,
    kAlreadyConfirmed = 187,
    kAlreadyPoured = 188,
    kNoSuchNozzle = 189,
    kEmergencyStop = 202,
};

constexpr uint8_t kSourceHost = 3;  // the PC protocol
constexpr uint8_t kByVolume = 0, kByMoney = 1;

int ChannelCount(const SimController& c) {
    const auto& s = c.State.Status;
    const int logical = s.SubTrkCfg[SubTrkPage::LogicalChannels];
    return logical != 0 ? logical : s.TrkCfg[0];
}

// The channel of a dose request, or -1 after answering "wrong nozzle number".
int Channel(const SimController& c, const SimRequest& rq, SimAnswer& a) {
    const int ch = rq.U8(2);
    if (ch < kSimChannels && ch < ChannelCount(c)) return ch;
    a.Result(kNoSuchNozzle);
    return -1;
}

SimFillPhase Phase(const SimController& c, int ch) { return c.State.Pouring.Channels[size_t(ch)].Phase; }

// What stops a new dose being loaded or started: the emergency button, a blocked nozzle,
// a display board under test, a fill still going or one not yet confirmed.
uint8_t NewDoseRefusal(const SimController& c, int ch) {
    const SimChannelLook& look = c.State.Status.Channels[size_t(ch)];
    if (c.State.Doses.EmergencyStop) return kEmergencyStop;
    if (look.Blocked) return kNozzleBlocked;
    if (look.DisplayBusy) return kDisplayBusy;
    switch (Phase(c, ch)) {
        case SimFillPhase::Ready: return kResultOk;
        case SimFillPhase::Finished: return kConfirmFirst;
        default: return kNozzleBusy;
    }
}

void LoadDose(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 8)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    const uint8_t kind = rq.U8(3);
    const uint32_t amount = rq.U32(4);
    const uint32_t price = c.State.Pouring.Channels[size_t(ch)].PricePerLitre;
    if ((kind != kByVolume && kind != kByMoney) || amount == 0 || (kind == kByMoney && price == 0)) {
        a.Result(kResultInvalidData);
        return;
    }
    if (const uint8_t refusal = NewDoseRefusal(c, ch)) {
        a.Result(refusal);
        return;
    }
    SimChannelLook& look = c.State.Status.Channels[size_t(ch)];
    // The other quantity follows from the price, rounded so that the customer never gets less.
    const uint64_t ml = kind == kByVolume ? amount : (uint64_t(amount) * 1000 + price - 1) / price;
    if (ml > UINT32_MAX) {
        a.Result(kResultInvalidData);
        return;
    }
    look.LoadedDoseMl = uint32_t(ml);
    look.LoadedDoseMoney = kind == kByMoney ? amount : uint32_t((ml * price + 999) / 1000);
    look.LoadedSource = kSourceHost;
    c.State.Doses.Loaded[size_t(ch)] = true;
}

void StartDose(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    if (const uint8_t refusal = NewDoseRefusal(c, ch)) {
        a.Result(refusal);
        return;
    }
    if (!c.State.Doses.Loaded[size_t(ch)]) {
        a.Result(kNoDoseLoaded);
        return;
    }
    c.State.Doses.Loaded[size_t(ch)] = false;
    StartFill(c, ch, c.State.Status.Channels[size_t(ch)].LoadedDoseMl, kSourceHost);
}

void StopDose(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    switch (Phase(c, ch)) {
        case SimFillPhase::Pouring: StopFill(c, ch); break;
        case SimFillPhase::Stopped: break;  // stopping twice is no fault
        case SimFillPhase::Finished: a.Result(kAlreadyPoured); break;
        case SimFillPhase::Ready: a.Result(kNoDoseLoaded); break;
    }
}

void ContinueDose(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    if (c.State.Doses.EmergencyStop) return a.Result(kEmergencyStop);
    if (c.State.Status.Channels[size_t(ch)].Blocked) return a.Result(kNozzleBlocked);
    switch (Phase(c, ch)) {
        case SimFillPhase::Stopped: ContinueFill(c, ch); break;
        case SimFillPhase::Pouring: a.Result(kNozzleBusy); break;
        case SimFillPhase::Finished: a.Result(kAlreadyPoured); break;
        case SimFillPhase::Ready: a.Result(kNoDoseLoaded); break;
    }
}

void ConfirmFillEnd(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    switch (Phase(c, ch)) {
        case SimFillPhase::Pouring: a.Result(kNozzleBusy); break;
        case SimFillPhase::Ready: a.Result(kAlreadyConfirmed); break;
        default: ConfirmFill(c, ch);
    }
}

void BlockChannel(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    if (rq.U8(3) > 1) return a.Result(kResultInvalidData);
    c.State.Status.Channels[size_t(ch)].Blocked = rq.U8(3) == 1;
}

void WritePrice(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 7)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    // A fill in progress keeps the price it started with.
    if (Phase(c, ch) == SimFillPhase::Pouring || Phase(c, ch) == SimFillPhase::Stopped) return a.Result(kNozzleBusy);
    c.State.Pouring.Channels[size_t(ch)].PricePerLitre = rq.U32(3);
}

// The price, then the loaded dose as it stands, as firmware with dose readback answers.
void ReadPrice(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const int ch = Channel(c, rq, a);
    if (ch < 0) return;
    const SimChannelLook& look = c.State.Status.Channels[size_t(ch)];
    a.U8(uint8_t(ch)).U32(c.State.Pouring.Channels[size_t(ch)].PricePerLitre);
    a.U32(look.LoadedDoseMl).U32(look.LoadedDoseMoney);
}

constexpr SimHandlerRow kRows[] = {
    {Cmd::LoadDose, kAnySubCode, LoadDose},
    {Cmd::StartDose, kAnySubCode, StartDose},
    {Cmd::StopDose, kAnySubCode, StopDose},
    {Cmd::ContinueDose, kAnySubCode, ContinueDose},
    {Cmd::BlockChannel, kAnySubCode, BlockChannel},
    {Cmd::WritePrice, kAnySubCode, WritePrice},
    {Cmd::ReadPrice, kAnySubCode, ReadPrice},
    {Cmd::ConfirmFillEnd, kAnySubCode, ConfirmFillEnd},
};

constexpr SimOptionRow kOptions[] = {
    {"--emergency-stop", nullptr, "the emergency-stop button is pressed: every dose is refused (result 202)",
     [](SimConfig& c, std::string_view, std::string&) { return c.Controller.Doses.EmergencyStop = true; }},
};

void Tick(SimController& c) { PourUntilNow(c); }

}  // namespace

const SimFamily DoseFamily{"doses", kRows, kOptions, Tick};
