// The two configuration pages: page 4, the controller configuration, and page 0, the
// sub-controller configuration (read with command 211, written with command 210).
#include <algorithm>

#include "sim/Families.h"
#include "link/CommandCodes.h"
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

constexpr SimOptionRow kOptions[] = {
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
