// The sound generator and the proportional-valve controller behind the controller: their
// status and settings through command 232 and the valve controller's identity through 89.
// The valve currents follow the channels that pour (sim/Pouring.h).
#include <algorithm>

#include "sim/Families.h"
#include "link/CommandCodes.h"
#include "sim/SimConfig.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kSoundGenOffline = 255;
constexpr uint8_t kSoundGenStopped = 2;
constexpr uint8_t kSoundGenPlaying = 3;
constexpr uint8_t kMaxVolume = 30;

// What the controller reports for a valve controller it cannot reach.
constexpr int8_t kNoValveController = -128;
// Divisors of 921600 for the rates the valve controller runs at.
constexpr uint8_t kValveDivisors[] = {95, 47, 23, 15, 7};
constexpr uint16_t kOpenValveMa = 1500;

bool AnyChannelPours(SimController& c) {
    PourUntilNow(c);
    const auto& channels = c.State.Pouring.Channels;
    return std::any_of(channels.begin(), channels.begin() + kSimFlowmeters,
                       [](const SimChannelPour& ch) { return ch.Phase == SimFillPhase::Pouring; });
}

void ReadSoundGenStatus(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    SimSoundGen& s = c.State.Peripherals.SoundGen;
    if (!s.Present) {
        a.U8(kSoundGenOffline).Zeros(16);
        return;
    }
    // It greets every customer: a new file starts while fuel flows.
    const bool playing = AnyChannelPours(c);
    if (playing && s.State != kSoundGenPlaying) s.LastFile = uint16_t(s.LastFile % s.Files + 1);
    s.State = playing ? kSoundGenPlaying : kSoundGenStopped;
    a.U8(s.State).U8(s.Volume).U8(0).U16(s.Files).U16(s.LastFile).U8(s.Folders).U8(s.Address).U8(0);
    a.U16(s.DeviceType).Append(s.Firmware);
}

void WriteSoundGenAddress(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4)) return;
    const uint8_t address = rq.U8(3);
    if (address == 0 || address == 255) return a.Result(kResultInvalidData);
    c.State.Peripherals.SoundGen.Address = address;
}

void WriteSoundGenVolume(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 4)) return;
    if (rq.U8(3) > kMaxVolume) return a.Result(kResultInvalidData);
    c.State.Peripherals.SoundGen.Volume = rq.U8(3);
}

void WriteValveParams(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 6)) return;
    const uint8_t address = rq.U8(3), divisor = rq.U8(4), opening = rq.U8(5);
    const bool knownRate = std::find(std::begin(kValveDivisors), std::end(kValveDivisors), divisor) !=
                           std::end(kValveDivisors);
    if (address == 0 || address == 255 || !knownRate || opening > 100) return a.Result(kResultInvalidData);
    SimValveController& v = c.State.Peripherals.Valves;
    v.Address = address;
    v.Divisor = divisor;
    v.Opening = opening;
}

void ReadValveStatus(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    const SimValveController& v = c.State.Peripherals.Valves;
    if (!v.Present) {
        a.U8(0).U8(0).U8(0).U8(0).U8(uint8_t(kNoValveController)).Zeros(17);
        return;
    }
    PourUntilNow(c);
    // A little ripple on the supply, from the controller's clock.
    const uint16_t ripple = uint16_t(c.NowMs() / 100 % 7 * 10);
    a.U8(0).U8(v.Address).U8(v.Divisor).U8(v.Opening).U8(uint8_t(v.Temperature)).U16(uint16_t(v.SupplyMv + ripple));
    for (int i = 0; i < kSimFlowmeters; ++i) {
        const bool open = c.State.Pouring.Channels[size_t(i)].Phase == SimFillPhase::Pouring;
        a.U16(open ? uint16_t(kOpenValveMa + ripple) : 0);
    }
    a.Zeros(kSimFlowmeters);  // no valve flagged or shorted
}

void ReadValveInfo(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 5)) return;
    const SimValveController& v = c.State.Peripherals.Valves;
    a.U8(rq.U8(2)).U8(rq.U8(3)).U8(rq.U8(4));  // echoed, not read by the tool
    if (!v.Present) {
        a.Zeros(8);
        return;
    }
    a.U16(v.DeviceType).U8(v.Minor).U8(v.Major).U32(v.FirmwareDate);
}

const SimHandlerRow kRows[] = {
    {Cmd::Peripheral, 0, ReadSoundGenStatus},
    {Cmd::Peripheral, 1, WriteSoundGenAddress},
    {Cmd::Peripheral, 3, WriteSoundGenVolume},
    {Cmd::Peripheral, 5, WriteValveParams},
    {Cmd::Peripheral, 6, ReadValveStatus},
    // The identity request carries the valve controller's own command: 5, 3, 0.
    {Cmd::ValveControllerInfo, 5, ReadValveInfo},
};

const SimOptionRow kOptions[] = {
    {"--no-sound-generator", nullptr, "no sound generator behind the controller",
     [](SimConfig& c, std::string_view, std::string&) { return !(c.Controller.Peripherals.SoundGen.Present = false); }},
    {"--no-valve-controller", nullptr, "no proportional-valve controller behind the controller",
     [](SimConfig& c, std::string_view, std::string&) { return !(c.Controller.Peripherals.Valves.Present = false); }},
};

}  // namespace

const SimFamily PeripheralFamily{"peripherals", kRows, kOptions};
