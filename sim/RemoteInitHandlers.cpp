// Remote initialisation: command 228, sub-codes 10 (request code) and 11 (operation code).
#include "link/CommandCodes.h"
#include "sim/Families.h"
#include "sim/SimController.h"
#include "sim/SimConfig.h"

namespace {

constexpr int kRequestCodeSub = 10, kOperationSub = 11;
constexpr size_t kOperationRequestLength = 12;
constexpr uint8_t kResetTotals = 1, kClearEventLog = 3;

void RequestCode(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    for (uint16_t group : c.State.RemoteInit.RequestCode) a.U16(group);
}

void Operation(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, kOperationRequestLength)) return;
    SimRemoteInit& s = c.State.RemoteInit;
    const uint8_t type = rq.U8(3);
    const auto expected = ExpectedRemoteInitGroups(s, type);
    bool match = type >= kResetTotals && type <= kClearEventLog;
    for (size_t i = 0; i < expected.size(); ++i) match = match && rq.U16(4 + 2 * i) == expected[i];
    if (!match) {
        a.Result(kResultInvalidData);
        return;
    }
    s.Performed.push_back(type);
    a.Notes.push_back("remote initialisation " + std::to_string(type) + " performed");
}

bool ParseRequestCode(SimConfig& c, std::string_view v, std::string& e) {
    std::array<uint16_t, 4> groups{};
    for (size_t i = 0; i < groups.size(); ++i) {
        const size_t colon = v.find(':');
        const bool last = i + 1 == groups.size();
        if (last != (colon == std::string_view::npos)) {
            e = "expected four numbers joined by ':', got '" + std::string(v) + "'";
            return false;
        }
        long long n = 0;
        if (!ParseOptionNumber(v.substr(0, colon), 0, 65535, n, e)) return false;
        groups[i] = uint16_t(n);
        if (!last) v = v.substr(colon + 1);
    }
    c.Controller.RemoteInit.RequestCode = groups;
    return true;
}

constexpr SimOptionRow kOptions[] = {
    {"--request-code", "A:B:C:D", "the remote-initialisation request code, four groups 0..65535 (default 7:0:65535:4321); "
                                  "an operation code is taken when each group is the request group plus the type",
     ParseRequestCode},
};

constexpr SimHandlerRow kRows[] = {
    {Cmd::Service, kRequestCodeSub, RequestCode},
    {Cmd::Service, kOperationSub, Operation},
};

}  // namespace

std::array<uint16_t, 4> ExpectedRemoteInitGroups(const SimRemoteInit& s, uint8_t type) {
    std::array<uint16_t, 4> groups{};
    for (size_t i = 0; i < groups.size(); ++i) groups[i] = uint16_t(s.RequestCode[i] + type);
    return groups;
}

const SimFamily RemoteInitFamily{"remote initialisation", kRows, kOptions};
