// Who the controller is and how it is reached: identification (command 0), bus address
// (command 34), bit rate and host protocol (command 145).
#include <algorithm>
#include <array>

#include "link/ProtocolConstants.h"
#include "link/CommandCodes.h"
#include "sim/Families.h"
#include "sim/SimController.h"

namespace {

constexpr int kRecordLength = 24;

std::array<uint8_t, kRecordLength> IdentityRecord(const ControllerState& s) {
    std::array<uint8_t, kRecordLength> r{};
    r[0] = uint8_t(s.DeviceType);
    r[1] = uint8_t(s.DeviceType >> 8);
    r[2] = s.FirmwareMinor;
    r[3] = s.FirmwareMajor;
    r[4] = s.FirmwareDay;
    r[5] = s.FirmwareMonth;
    r[6] = s.FirmwareYear;
    std::copy(s.Serial.begin(), s.Serial.end(), r.begin() + 7);
    r[15] = uint8_t(s.RtcTemperature);
    r[16] = s.HardwareError;
    r[17] = s.ProtocolType;
    r[18] = uint8_t(s.CpuTemperature);
    for (int i = 0; i < 4; ++i) r[19 + i] = uint8_t(s.VrxId >> (8 * i));
    r[23] = s.DoorSensors;
    return r;
}

void ReadIdentity(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    // Older firmware sends a shorter record; a longer answer carries zeros beyond it.
    auto record = IdentityRecord(c.State);
    size_t data = size_t(std::max(c.State.IdentityAnswerLength - 3, 0));
    a.Append(std::span(record).first(std::min(data, record.size())));
    if (data > record.size()) a.Zeros(data - record.size());
}

void ReadFirmwareMd5(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    a.Append(c.State.FirmwareMd5);
    a.DelayMs = c.State.Md5DelayMs;
}

// Command 34 comes in a short form (new address in byte 2) and a long one whose byte 3
// selects what gets the address: 0 the controller itself (new address in byte 4).
bool IsControllerAddressForm(const SimRequest& rq) {
    return rq.Length() == 3 || (rq.Length() >= 5 && rq.U8(3) == 0);
}

void WriteBusAddress(SimController& c, const SimRequest& rq, SimAnswer& a) {
    uint8_t address = rq.Length() == 3 ? rq.U8(2) : rq.U8(4);
    // 0 and 255 are not bus addresses; taking one would make the controller unreachable.
    if (c.State.RefuseAddressChange || address == 0 || address == 255) {
        a.Result(kResultInvalidData);
        return;
    }
    // The answer already carries the old address; from now on the controller listens here.
    c.State.Address = address;
}

struct RateDivisor {
    uint8_t Divisor;
    int BitRate;
};
constexpr RateDivisor kRateDivisors[] = {
    {96, 9600}, {48, 19200}, {24, 38400}, {16, 57600}, {8, 115200},
};
constexpr uint8_t kProtocolTypes = 3;  // AUTO, PC, VRX 2.0

void WriteLinkSetting(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 7)) return;
    if (!std::equal(kCommand145Code.begin(), kCommand145Code.end(), rq.Bytes.begin() + 2)) {
        a.Result(kResultInvalidData);
        return;
    }
    uint8_t value = rq.U8(6);
    if (value < kProtocolTypes) {
        c.State.ProtocolType = value;
        return;
    }
    for (const RateDivisor& r : kRateDivisors)
        if (r.Divisor == value) {
            // Takes effect after this answer has gone out at the old rate.
            c.State.BitRate = r.BitRate;
            return;
        }
    a.Result(kResultInvalidData);
}

constexpr SimHandlerRow kRows[] = {
    {Cmd::DeviceInfo, 0, ReadIdentity},
    {Cmd::DeviceInfo, 3, ReadFirmwareMd5},
    {Cmd::WriteBusAddress, kAnySubCode, WriteBusAddress, IsControllerAddressForm},
    {Cmd::LinkSettings, kAnySubCode, WriteLinkSetting},
};

}  // namespace

const SimFamily IdentityFamily{"identity", kRows};
