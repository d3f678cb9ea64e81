// Live state the tool polls: the channel state block, pump ramp-up time and flowmeter
// block of command 209 (sub-code in byte 3, after the channel), and the state of a display
// board or keyboard (command 215, sub-codes 1 and 2).
#include <algorithm>

#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/Pouring.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kChannelState = 1, kPumpRampUp = 2, kFlowmeterState = 3;

uint8_t StatusBits(const SimChannelLook& look, const SimChannelPour& pour) {
    const bool pouring = pour.Phase == SimFillPhase::Pouring;
    const bool waiting = pour.Phase == SimFillPhase::Finished;
    const bool stopped = pour.Phase == SimFillPhase::Stopped;
    return uint8_t(waiting << 1 | look.DisplayBusy << 2 | look.NozzleBusy << 3 | look.Blocked << 4 |
                   (pouring || waiting || stopped) << 5 | pouring << 6);
}

uint32_t Money(uint64_t millilitres, uint32_t pricePerLitre) { return uint32_t(millilitres * pricePerLitre / 1000); }

void ChannelStateBlock(const SimController& c, int ch, SimAnswer& a) {
    const SimChannelLook& look = c.State.Status.Channels[ch];
    const SimChannelPour& pour = c.State.Pouring.Channels[ch];
    a.U8(StatusBits(look, pour));
    a.U32(look.LoadedDoseMl).U32(look.LoadedDoseMoney).U8(look.LoadedSource);
    a.U32(pour.DoseMl).U32(Money(pour.DoseMl, pour.PricePerLitre)).U8(pour.Source);
    a.U32(pour.PouredMl).U32(pour.PouredMoney);
    a.U64(pour.TotalMl).U32(pour.OverfillMl).U32(pour.PricePerLitre);
    a.U8(look.VrxAddress).Zeros(2);
    a.Append(look.LiftedColour).Append(look.RestingColour).Append(look.FuelName);
    a.U32(pour.OverfillTotalMl).U32(pour.RemoteTotalMl).U32(uint32_t(pour.ManualTotalMl));
    a.U64(pour.MoneyTotal);
}

void FlowmeterStateBlock(const SimController& c, int n, SimAnswer& a) {
    const SimFlowmeter& meter = c.State.Status.Flowmeters[n];
    const SimChannelPour& pour = c.State.Pouring.Channels[n];
    a.U32(pour.Coefficient).Zeros(2).U8(meter.Type).U8(meter.Decivolts);
    a.U16(uint16_t(FlowLitresPerMinute(c.State.Pouring, n)));
    a.U32(pour.PouredMl).U32(pour.OverfillMl).U64(pour.TotalMl);
    a.U32(pour.OverfillTotalMl).U32(pour.RemoteTotalMl).U32(uint32_t(pour.ManualTotalMl));
    a.U64(pour.MoneyTotal);
}

bool IsChannelBlockRequest(const SimRequest& rq) {
    return rq.Length() == 4 && rq.U8(3) >= kChannelState && rq.U8(3) <= kFlowmeterState;
}

void ReadChannelBlock(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const int ch = rq.U8(2);
    if (ch >= kSimChannels) {
        a.Result(kResultInvalidData);
        return;
    }
    a.U8(uint8_t(ch));  // the tool does not read this byte
    switch (rq.U8(3)) {
        case kChannelState: ChannelStateBlock(c, ch, a); break;
        case kPumpRampUp: a.U16(c.State.Status.Channels[ch].PumpRampUpMs); break;
        case kFlowmeterState: FlowmeterStateBlock(c, ch, a); break;
    }
}

bool IsDisplayRequest(const SimRequest& rq) { return rq.Length() == 4; }

// Sub-code 1 asks a display board (0..3), sub-code 2 a keyboard (4..6).
void ReadDisplayState(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const int n = rq.U8(3);
    const bool board = rq.SubCode() == 1;
    if (board ? n >= kSimDisplayBoards : (n < kSimDisplayBoards || n >= kSimDisplayDevices)) {
        a.Result(kResultInvalidData);
        return;
    }
    const SimDisplayDevice& d = c.State.Status.Displays[n];
    a.U8(uint8_t(rq.SubCode())).U8(uint8_t(n));
    a.U8(d.Type).U8(uint8_t(d.Temperature)).U8(uint8_t(d.TempOffset)).Append(d.Firmware);
    // Keyboards have no colours; their answer ends with one byte of their own.
    if (board) a.Append(d.ColourCorrection);
    else a.U8(0);
}

constexpr SimHandlerRow kRows[] = {
    {Cmd::ReadDataBlock, kAnySubCode, ReadChannelBlock, IsChannelBlockRequest},
    {Cmd::ReadTabloTest, 1, ReadDisplayState, IsDisplayRequest},
    {Cmd::ReadTabloTest, 2, ReadDisplayState, IsDisplayRequest},
};

void Tick(SimController& c) { PourUntilNow(c); }

}  // namespace

const SimFamily StatusFamily{"status", kRows, {}, Tick};
