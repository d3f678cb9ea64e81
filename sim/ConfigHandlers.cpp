// The two configuration pages: page 4, the controller configuration, and page 0, the
// sub-controller configuration (read with command 211, written with command 210).
#include <algorithm>

#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "link/FuelNameCodes.h"
#include "sim/SimConfig.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kPageSubTrk = 0, kPageTrk = 4;
constexpr size_t kTrkCfgSize = 33;

void ReadPage(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    SimStatusState& s = c.State.Status;
    switch (rq.U8(2)) {
        case kPageTrk: a.U8(kPageTrk).Append(s.TrkCfg); break;
        case kPageSubTrk: a.Append(SubTrkPageBytes(s, c.State.Address)); break;
        default: a.Result(kResultInvalidData);
    }
}

void WriteTrkPage(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3 + kTrkCfgSize)) return;
    // The firmware drives at most five channels of its own.
    const uint8_t channels = rq.U8(3);
    if (channels < 1 || channels > 5) {
        a.Result(kResultInvalidData);
        return;
    }
    std::copy_n(rq.Bytes.begin() + 3, kTrkCfgSize, c.State.Status.TrkCfg.begin());
}

void WriteSubTrkPage(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 6)) return;
    SimStatusState& s = c.State.Status;
    s.SubTrkCfg[SubTrkPage::Address1] = rq.U8(3);
    s.SubTrkCfg[SubTrkPage::Address2] = rq.U8(4);
    s.SubTrkCfg[SubTrkPage::Divisor] = rq.U8(5);
    s.SubAddressesDerived = false;
}

void WritePage(SimController& c, const SimRequest& rq, SimAnswer& a) {
    switch (rq.U8(2)) {
        case kPageTrk: WriteTrkPage(c, rq, a); break;
        case kPageSubTrk: WriteSubTrkPage(c, rq, a); break;
        default: a.Result(kResultInvalidData);
    }
}

template <typename T>
bool SetByte(std::string_view v, long long max, T& field, std::string& e) {
    long long n = 0;
    if (!ParseOptionNumber(v, 0, max, n, e)) return false;
    field = T(n);
    return true;
}

// A controller set up otherwise than the default one in every kind of setting the tester can
// keep and write back, so that copying one onto the other has something to do everywhere.
void UseOtherSettings(ControllerState& c) {
    SimStatusState& s = c.Status;
    s.TrkCfg[2] = uint8_t(s.TrkCfg[2] | 0x20 | 0x10);  // a bit no window shows, and rounding to 10 ml
    s.TrkCfg[23] = uint8_t(s.TrkCfg[23] | 0x50);       // channel 1's board byte: bits no window shows
    s.TrkCfg[8] = 5;  // channel 1's pump on output 6, shared with channel 2 (allowed)
    static const char* const names[] = {"AI-80", "AI-92", "AI-95", "dt-E", "PrOPAn"};
    for (size_t i = 0; i < s.Channels.size(); ++i) {
        SimChannelLook& ch = s.Channels[i];
        ch.VrxAddress = uint8_t(20 + i);
        ch.PumpRampUpMs = uint16_t(500 + 50 * i);
        ch.LiftedColour = {0xFF, 0x80, uint8_t(8 * i)};
        ch.RestingColour = {0x10, 0x20, 0x30};
        EncodeFuelName(names[i % 5], ch.FuelName);
        c.Pouring.Channels[i].PricePerLitre = uint32_t(6120 + 100 * i);
    }
    s.Flowmeters[1].Type = 2;  // quadrature
    c.FlowmeterTimeout = 45;
    c.FlowmeterParams[0] = 40;  // main-valve timeout 4 s
    c.FlowmeterParams[4] = 80;  // leak 80 ml
    c.TabloCutOff = 250;
    c.NightBright = 60;
    c.TabloTestStep = 25;
    for (uint16_t& r : c.ReductionConst) r = uint16_t(r + 25);
    s.Displays[0].ColourCorrection = {128, 128, 128, 0x02, 0x02, 0x02};
    s.Displays[1].TempOffset = -3;
    c.ProtocolType = 1;
    c.Clock.SummerMode = 2;
    c.Peripherals.SoundGen.Volume = 12;
    c.Peripherals.SoundGen.Address = 6;
    c.Peripherals.Valves.Opening = 55;
    c.Peripherals.Valves.Divisor = 23;  // 38400 bit/s
}

constexpr SimOptionRow kOptions[] = {
    {"--other-settings", nullptr, "set up otherwise than the default controller: other prices, fuel names, nozzle "
                                  "colours and VRX addresses, configuration bits, flowmeter parameters, display-board "
                                  "settings, protocol, summer time, sound generator and valve controller",
     [](SimConfig& c, std::string_view, std::string&) {
         UseOtherSettings(c.Controller);
         return true;
     }},
    {"--channels", "N", "channels of the controller's own board, 1..5 (default 5)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         long long n = 0;
         if (!ParseOptionNumber(v, 1, 5, n, e)) return false;
         c.Controller.Status.TrkCfg[0] = uint8_t(n);
         return true;
     }},
    {"--subtrk", "BOARDS", "sub-controller boards on line behind the controller, 0..2 (default 0)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         long long n = 0;
         if (!ParseOptionNumber(v, 0, 2, n, e)) return false;
         SetSubControllers(c.Controller.Status, int(n));
         return true;
     }},
    {"--logical-channels", "N", "logical channel count the sub-controller page reports, 0..255 (0: not set)",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return SetByte(v, 255, c.Controller.Status.SubTrkCfg[SubTrkPage::LogicalChannels], e);
     }},
    {"--subtrk1-state", "CODE", "state code of the first sub-controller, 0 on line .. 255 no link",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return SetByte(v, 255, c.Controller.Status.SubTrkCfg[SubTrkPage::State1], e);
     }},
    {"--subtrk2-state", "CODE", "state code of the second sub-controller, 0 on line .. 255 no link",
     [](SimConfig& c, std::string_view v, std::string& e) {
         return SetByte(v, 255, c.Controller.Status.SubTrkCfg[SubTrkPage::State2], e);
     }},
};

constexpr SimHandlerRow kRows[] = {
    {Cmd::ReadCfg, kAnySubCode, ReadPage},
    {Cmd::WriteCfg, kAnySubCode, WritePage},
};

}  // namespace

const SimFamily ConfigFamily{"configuration", kRows, kOptions};
