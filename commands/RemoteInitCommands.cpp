#include "commands/RemoteInitCommands.h"

#include <algorithm>

#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/CommandCodes.h"

namespace {

constexpr uint8_t RequestCodeSub = 10;
constexpr uint8_t OperationSub = 11;
constexpr int GroupsAt = 3;
constexpr int RequestCodeAnswer = GroupsAt + 2 * kRemoteInitGroups;  // 11
constexpr int OperationAt = 3;

}  // namespace

std::string RequestCodeText(const std::array<uint16_t, kRemoteInitGroups>& groups) {
    std::string text;
    for (uint16_t group : groups) {
        if (!text.empty()) text += ' ';
        text += PadNumber(group, 5);
    }
    return text;
}

void ReadRemoteInitRequestCode(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::Service, RequestCodeSub};
    const bool read = RunExchange(w, ReadRemoteInitRequestCode, request, 3,
        {.Status = &w.PollStatusText, .Needed = RequestCodeAnswer},
        [&](const uint8_t* answer, int) {
            for (int i = 0; i < kRemoteInitGroups; ++i)
                w.RemoteInitRequestCode[size_t(i)] = GetU16(answer + GroupsAt + 2 * i);
        },
        [&] { w.Ui.Config->SetSecReqCodeText(RequestCodeText(w.RemoteInitRequestCode)); });
    // A code left from before may be another controller's: an operation code made for it
    // must not be sent to this one.
    if (!read) w.Synchronize([&w] { w.Ui.Config->SetSecReqCodeText(""); });
}

void SendRemoteInitOperation(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::Service, OperationSub};
    std::copy(w.RemoteInitOperation.begin(), w.RemoteInitOperation.end(), request.begin() + OperationAt);
    RunExchange(w, SendRemoteInitOperation, request, OperationAt + kRemoteInitOperationSize,
                {.Status = &w.PollStatusText});
}
