#include "sim/SimController.h"

#include <algorithm>
#include <utility>

#include "link/CommandCodes.h"
#include "link/ProtocolConstants.h"
#include "sim/Families.h"

SimController::SimController(ControllerState state, SimClockSource clock)
    : State(std::move(state)), clock_(std::move(clock)) {}

uint32_t SimController::ClockUtc() const { return ::ClockUtc(State.Clock, NowMs()); }

void SimController::SetClockUtc(uint32_t utc) { ::SetClockUtc(State.Clock, utc, NowMs()); }

static const SimHandlerRow* FindRow(std::span<const SimHandlerRow> rows, const SimRequest& rq) {
    for (const SimHandlerRow& row : rows) {
        if (row.Command != rq.Command()) continue;
        if (row.SubCode != kAnySubCode && row.SubCode != rq.SubCode()) continue;
        if (row.Accepts && !row.Accepts(rq)) continue;
        return &row;
    }
    return nullptr;
}

const SimHandlerRow* FindHandler(const SimRequest& rq) {
    for (const SimFamily* family : AllFamilies())
        if (const SimHandlerRow* row = FindRow(family->Handlers, rq)) return row;
    return nullptr;
}

// The family that answers for another device at `address`, or nullptr.
static const SimFamily* FamilyServing(const SimController& c, uint8_t address) {
    for (const SimFamily* family : AllFamilies())
        if (family->ServesAddress && family->ServesAddress(c, address)) return family;
    return nullptr;
}

bool SimController::Serves(uint8_t address) const {
    return address == State.Address || FamilyServing(*this, address) != nullptr;
}

std::optional<SimAnswer> SimController::Handle(std::span<const uint8_t> request) {
    if (request.size() < 2) return std::nullopt;
    const SimFamily* other = request[0] == State.Address ? nullptr : FamilyServing(*this, request[0]);
    if (request[0] != State.Address && !other) return std::nullopt;
    for (const SimFamily* family : AllFamilies())
        if (family->Tick) family->Tick(*this);
    SimRequest rq{request};
    SimAnswer a(request[0], rq.Command());
    if (const SimHandlerRow* row = other ? FindRow(other->Handlers, rq) : FindHandler(rq))
        row->Handler(*this, rq, a);
    else
        a.Result(kResultUnknownRequest);
    if (a.Silent) return std::nullopt;
    // Reading the frame memory must not write into the memory being read.
    constexpr int kMemoryReadSub = 7;
    if (!(rq.Command() == Cmd::Service && rq.SubCode() == kMemoryReadSub))
        RecordFrames(State.Service.Memory, NowMs(), {request.begin(), request.end()}, a.Bytes);
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
