#pragma once
// The endless poll: every pass makes sure the controller's identity and settings are known,
// then reads one slice of its live state, choosing channel, flowmeter and display device from
// the pass counter so that successive passes walk through all of them. An operation the user
// hands over meanwhile runs between two passes.
#include <cstdint>

class TComThread;
class IMainView;
struct TDeviceState;

// Runs pass after pass until the worker is asked to stop or the port cannot be written.
void PollCycle(TComThread& w);

// Reads what a pass relies on: the identity (retried every 200 ms until the controller
// answers), the firmware checksum and settings still unread, the sub-controller page, the
// reduction constants and the flowmeter settings. Returns early when the worker must stop.
void SyncDeviceState(TComThread& w);

// One pass's slice of the live state, pass counter n; reads run whatever their results.
void PollPass(TComThread& w, uint32_t n);

// Display steps: "---" in every valve column of the first / second sub-controller's
// reduction row, while that board is off line.
void DashSubController1Row(IMainView& view);
void DashSubController2Row(IMainView& view);

// Flowmeters the state reader walks: five per board, the controller's own five included.
int FlowmeterCount(const TDeviceState& s);
