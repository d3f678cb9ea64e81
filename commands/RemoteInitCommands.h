#pragma once
// Remote initialisation: the controller hands out a request code, and an operation code
// worked out from it (typed into the configuration window) carries one of its service
// operations back: resetting the totals, a full initialisation, clearing the event log.
#include <array>
#include <cstdint>
#include <string>

#include "engine/DeviceState.h"

class TComThread;

// Fills RemoteInitRequestCode and SecReqCodeEdit.
void ReadRemoteInitRequestCode(TComThread& w);
// Sends the staged RemoteInitOperation; the controller's result code tells whether it took it.
void SendRemoteInitOperation(TComThread& w);

// The four groups as the window shows them: five digits each with leading zeros, one blank apart.
std::string RequestCodeText(const std::array<uint16_t, kRemoteInitGroups>& groups);
