#pragma once
// Readers of the controller's live state, run by the poll cycle: the firmware checksum,
// and per channel or device the channel state, pump ramp-up time, flowmeter state and
// the state of a display board or keyboard. Each works on w.CurrentChannel.
class TComThread;

void ReadFirmwareMd5(TComThread& w);
void ReadChannelState(TComThread& w);
void ReadPumpRampUpTime(TComThread& w);
void ReadFlowmeterState(TComThread& w);
void ReadTabloState(TComThread& w);
