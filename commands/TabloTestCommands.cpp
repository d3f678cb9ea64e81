#include "commands/TabloTestCommands.h"

#include <algorithm>

#include "engine/OperationPattern.h"
#include "link/CommandCodes.h"

namespace {
// The controller tells the frame apart from the other 214 requests by this length. Bytes
// after the frame carry nothing the tool knows of; they go as zeros so that a board never
// shows leftovers of an earlier request.
constexpr int kTestFrameRequestLength = 46;
constexpr int kFrameAt = 2;
}  // namespace

void StartTabloTest(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteTabloTest};
    RunExchange(w, StartTabloTest, request, 2, {.Status = &w.CommandStatusText});
}

void WriteTabloTestFrame(TComThread& w) {
    // A newer picture waits: the boards would show this one only for a moment.
    if (w.Waiting(WriteTabloTestFrame)) return;
    TRequest request{w.DeviceAddress, Cmd::WriteTabloTest};
    std::ranges::copy(w.TabloTestFrame, request.begin() + kFrameAt);
    RunExchange(w, WriteTabloTestFrame, request, kTestFrameRequestLength, {.Status = &w.CommandStatusText});
}
