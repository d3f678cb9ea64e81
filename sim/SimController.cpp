#include "sim/SimController.h"

#include <algorithm>
#include <utility>

#include "link/ProtocolConstants.h"
#include "sim/Families.h"

SimController::SimController(ControllerState state, SimClockSource clock)
    : State(std::move(state)), clock_(std::move(clock)) {}

uint32_t SimController::ClockUtc() const { return ::ClockUtc(State.Clock, NowMs()); }

void SimController::SetClockUtc(uint32_t utc) { ::SetClockUtc(State.Clock, utc, NowMs()); }

const SimHandlerRow* FindHandler(const SimRequest& rq) {
    for (const SimFamily* family : AllFamilies())
        for (const SimHandlerRow& row : family->Handlers) {
            if (row.Command != rq.Command()) continue;
            if (row.SubCode != kAnySubCode && row.SubCode != rq.SubCode()) continue;
            if (row.Accepts && !row.Accepts(rq)) continue;
            return &row;
        }
    return nullptr;
}

std::optional<SimAnswer> SimController::Handle(std::span<const uint8_t> request) {
    if (request.size() < 2 || request[0] != State.Address) return std::nullopt;
    for (const SimFamily* family : AllFamilies())
        if (family->Tick) family->Tick(*this);
    SimRequest rq{request};
    SimAnswer a(request[0], rq.Command());
    if (const SimHandlerRow* row = FindHandler(rq))
        row->Handler(*this, rq, a);
    else
        a.Result(kResultUnknownRequest);
    if (a.Silent) return std::nullopt;
    return a;
}

namespace {
bool StartsWith(std::string_view chars, std::span<const uint8_t> code) {
    return chars.size() >= code.size() && std::equal(code.begin(), code.end(), chars.begin());
}
}  // namespace

std::optional<std::string> SimController::HandleVrx(std::string_view chars) {
    // The bus search probe: any answer tells that a VRX 2.0 device sits at this address.
    if (chars == "1") return "1" + std::to_string(State.VrxId);
    const size_t codeLength = kVrxProtocolFunctionCode.size();
    if (chars.size() == codeLength + 1 && StartsWith(chars, kVrxProtocolFunctionCode)) {
        char digit = chars[codeLength];
        if (digit < '0' || digit > '2') return std::nullopt;
        State.ProtocolType = uint8_t(digit - '0');
        return std::string(kVrxProtocolConfirmation.begin(), kVrxProtocolConfirmation.end());
    }
    return std::nullopt;
}
