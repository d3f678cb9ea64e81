// The controller's small settings: flowmeter supervision (251/250), display-board cut-off
// (219/218), night brightness (221/220), test step and display-device settings (215/214),
// reduction constants (223/222, also answered by the sub-controller boards at the
// controller's address ±64), pump ramp-up (224), nozzle colours and fuel name (226) and the
// VRX2.0 address of a nozzle (34 with sub-code 1). The clock commands live in ClockHandlers.
#include <algorithm>

#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/SimController.h"

namespace {

constexpr int kOwnChannels = 5;
constexpr int kChannels = 15;
constexpr uint8_t kMinNightBright = 10, kMaxNightBright = 100;
constexpr int kFlowmeterAnswers[] = {4, 19, 22};

bool ValueOk(bool ok, SimAnswer& a) {
    if (!ok) a.Result(kResultInvalidData);
    return ok;
}

void ReadFlowmeterParams(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 2)) return;
    a.U8(c.State.FlowmeterTimeout).Append(c.State.FlowmeterParams);
    // Older firmware knows fewer of the settings and answers shorter.
    a.Bytes.resize(size_t(c.State.FlowmeterAnswerLength));
}

void WriteFlowmeterParams(SimController& c, const SimRequest& rq, SimAnswer& a) {
    const bool timeoutOnly = rq.Length() == 3;
    if (!timeoutOnly && !RequireLength(rq, a, 3 + c.State.FlowmeterParams.size())) return;
    c.State.FlowmeterTimeout = rq.U8(2);
    if (!timeoutOnly) std::copy_n(rq.Bytes.begin() + 3, c.State.FlowmeterParams.size(), c.State.FlowmeterParams.begin());
}

void ReadTabloCutOff(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 2)) a.U16(c.State.TabloCutOff);
}
void WriteTabloCutOff(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 4)) c.State.TabloCutOff = rq.U16(2);
}

void ReadNightBright(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 2)) a.U8(c.State.NightBright);
}
void WriteNightBright(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    uint8_t value = rq.U8(2);
    if (ValueOk(value >= kMinNightBright && value <= kMaxNightBright, a)) c.State.NightBright = value;
}

void ReadTabloTestStep(SimController& c, const SimRequest&, SimAnswer& a) { a.U8(c.State.TabloTestStep); }
void WriteTabloTestStep(SimController& c, const SimRequest& rq, SimAnswer&) { c.State.TabloTestStep = rq.U8(2); }

void WriteColourCorrection(SimController& c, const SimRequest& rq, SimAnswer& a) {
    uint8_t board = rq.U8(3);
    if (!ValueOk(board < kSimDisplayBoards, a)) return;
    std::copy_n(rq.Bytes.begin() + 4, 6, c.State.Status.Displays[board].ColourCorrection.begin());
    a.Notes = DisplayDeviceLines(c.State.Status);
}

void WriteTempOffset(SimController& c, const SimRequest& rq, SimAnswer& a) {
    uint8_t device = rq.U8(3);
    if (!ValueOk(device < kSimDisplayDevices, a)) return;
    c.State.Status.Displays[device].TempOffset = int8_t(rq.U8(4));
    a.Notes = DisplayDeviceLines(c.State.Status);
}

// Reduction constants of the controller's own channels; the boards answer in SubControllerFamily.
void ReadReductionConst(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3) || !ValueOk(rq.U8(2) < kOwnChannels, a)) return;
    a.U8(rq.U8(2)).U16(c.State.ReductionConst[rq.U8(2)]);
}
void WriteReductionConst(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 5) && ValueOk(rq.U8(2) < kOwnChannels, a))
        c.State.ReductionConst[rq.U8(2)] = rq.U16(3);
}

void WritePumpRampUp(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 5) && ValueOk(rq.U8(2) < kChannels, a))
        c.State.Status.Channels[rq.U8(2)].PumpRampUpMs = rq.U16(3);
}

void WriteNozzleColours(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!ValueOk(rq.U8(2) < kChannels, a)) return;
    SimChannelLook& look = c.State.Status.Channels[rq.U8(2)];
    std::copy_n(rq.Bytes.begin() + 3, 3, look.LiftedColour.begin());
    std::copy_n(rq.Bytes.begin() + 6, 3, look.RestingColour.begin());
}

void WriteFuelName(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!ValueOk(rq.U8(2) < kChannels, a)) return;
    SimChannelLook& look = c.State.Status.Channels[rq.U8(2)];
    std::copy_n(rq.Bytes.begin() + 3, look.FuelName.size(), look.FuelName.begin());
}

void WriteVrxAddress(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (RequireLength(rq, a, 5) && ValueOk(rq.U8(2) < kChannels, a))
        c.State.Status.Channels[rq.U8(2)].VrxAddress = rq.U8(4);
}

template <size_t N>
bool (*LengthIs())(const SimRequest&) {
    return [](const SimRequest& rq) { return rq.Length() == N; };
}
bool IsVrxAddressForm(const SimRequest& rq) { return rq.Length() >= 5 && rq.U8(3) == 1; }

const SimHandlerRow kRows[] = {
    {Cmd::ReadFlowmeterParams, kAnySubCode, ReadFlowmeterParams},
    {Cmd::WriteFlowmeterParams, kAnySubCode, WriteFlowmeterParams},
    {Cmd::ReadTabloCutOff, kAnySubCode, ReadTabloCutOff},
    {Cmd::WriteTabloCutOff, kAnySubCode, WriteTabloCutOff},
    {Cmd::ReadNightBright, kAnySubCode, ReadNightBright},
    {Cmd::WriteNightBright, kAnySubCode, WriteNightBright},
    // 215 and 214 are families of their own: told apart by length before the sub-code.
    {Cmd::ReadTabloTest, kAnySubCode, ReadTabloTestStep, LengthIs<2>()},
    {Cmd::WriteTabloTest, kAnySubCode, WriteTabloTestStep, LengthIs<3>()},
    {Cmd::WriteTabloTest, 1, WriteColourCorrection, LengthIs<10>()},
    {Cmd::WriteTabloTest, 2, WriteTempOffset, LengthIs<5>()},
    {Cmd::ReadReductionConst, kAnySubCode, ReadReductionConst},
    {Cmd::WriteReductionConst, kAnySubCode, WriteReductionConst},
    {Cmd::WritePumpRampUp, kAnySubCode, WritePumpRampUp},
    {Cmd::WriteNozzle, kAnySubCode, WriteFuelName, LengthIs<17>()},
    {Cmd::WriteNozzle, kAnySubCode, WriteNozzleColours, LengthIs<9>()},
    {Cmd::WriteBusAddress, kAnySubCode, WriteVrxAddress, IsVrxAddressForm},
};

// --- The sub-controller boards: they answer only the reduction constants of their five
// channels, at the controller's address +64 (first board) and -64 (second board).

constexpr int kBoardDistance = 64;

// A board answers while the sub-controller page lists it and reports it on line.
bool BoardOnLine(const SimController& c, int board) {
    const SimStatusState& s = c.State.Status;
    uint8_t state = s.SubTrkCfg[board == 0 ? SubTrkPage::State1 : SubTrkPage::State2];
    return SubControllerAddress(s, c.State.Address, board) != 0 && state == SubTrkPage::OnLine;
}

// Board 1 or 2 that listens at `address`, or 0 when none of them does.
int BoardAt(const SimController& c, uint8_t address) {
    for (int board = 0; board < 2; ++board) {
        uint8_t at = uint8_t(c.State.Address + (board == 0 ? kBoardDistance : -kBoardDistance));
        if (at == address && BoardOnLine(c, board)) return board + 1;
    }
    return 0;
}

int BoardChannel(const SimController& c, const SimRequest& rq, SimAnswer& a) {
    int board = BoardAt(c, rq.U8(0));
    if (!ValueOk(board > 0 && rq.U8(2) < kOwnChannels, a)) return -1;
    return board * kOwnChannels + rq.U8(2);
}

void BoardReadReductionConst(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    int channel = BoardChannel(c, rq, a);
    if (channel >= 0) a.U8(rq.U8(2)).U16(c.State.ReductionConst[channel]);
}
void BoardWriteReductionConst(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 5)) return;
    int channel = BoardChannel(c, rq, a);
    if (channel >= 0) c.State.ReductionConst[channel] = rq.U16(3);
}

const SimHandlerRow kBoardRows[] = {
    {Cmd::ReadReductionConst, kAnySubCode, BoardReadReductionConst},
    {Cmd::WriteReductionConst, kAnySubCode, BoardWriteReductionConst},
};

bool ServesBoardAddress(const SimController& c, uint8_t address) {
    return address != c.State.Address && BoardAt(c, address) > 0;
}

const SimOptionRow kOptions[] = {
    {"--flowmeter-params", "LENGTH", "answer length of the flowmeter settings (251): 4, 19 or 22 (default)",
     [](SimConfig& config, std::string_view v, std::string& e) {
         long long n = 0;
         if (!ParseOptionNumber(v, 4, 22, n, e)) return false;
         if (std::ranges::find(kFlowmeterAnswers, int(n)) == std::end(kFlowmeterAnswers)) {
             e = "the flowmeter settings come in 4, 19 or 22 bytes, not " + std::string(v);
             return false;
         }
         config.Controller.FlowmeterAnswerLength = int(n);
         return true;
     }},
};

}  // namespace

const SimFamily ParameterFamily{"parameters", kRows, kOptions};
const SimFamily SubControllerFamily{"sub-controllers", kBoardRows, {}, nullptr, ServesBoardAddress};
