// The real-time clock: read (8), set (9), time zone and summer-time mode (10).
#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/SimController.h"

namespace {

// Zones the firmware accepts, in quarter hours: UTC-12:00 .. UTC+14:00.
constexpr int kMinZone = -48, kMaxZone = 56;
constexpr uint8_t kSummerModes = 3;

void ReadTime(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 2)) return;
    a.U32(c.ClockUtc()).U8(uint8_t(c.State.Clock.Zone)).U8(c.State.Clock.SummerMode);
}

void WriteTime(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 6)) return;
    c.SetClockUtc(rq.U32(2));
}

void WriteTimeZone(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4)) return;
    int zone = int8_t(rq.U8(2));
    uint8_t mode = rq.U8(3);
    if (zone < kMinZone || zone > kMaxZone || mode >= kSummerModes) {
        a.Result(kResultInvalidData);
        return;
    }
    c.State.Clock.Zone = int8_t(zone);
    c.State.Clock.SummerMode = mode;
}

constexpr SimHandlerRow kRows[] = {
    {Cmd::ReadTime, kAnySubCode, ReadTime},
    {Cmd::WriteTime, kAnySubCode, WriteTime},
    {Cmd::WriteTimeZone, kAnySubCode, WriteTimeZone},
};

}  // namespace

const SimFamily ClockFamily{"clock", kRows};
