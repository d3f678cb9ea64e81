#pragma once
// Operations on the controller itself: who it is, its bus address, its bit rate
// and its host protocol. All write PollStatusText.
#include <cstdint>
#include <string>

class TComThread;

void ReadDeviceInfo(TComThread& w);
void WriteBusAddress(TComThread& w);
void WriteBitRate(TComThread& w);
void WriteProtocolType(TComThread& w);

// Display step of ReadDeviceInfo (UI thread).
void ShowDeviceInfo(TComThread& w);

// Copies an identification answer into the record by its length; lengths below 20 copy nothing.
// Fields a shorter answer does not carry get their "not carried" values, the door byte keeps its value.
void FillDeviceInfo(uint8_t* record, const uint8_t* answer, int length);

// The command-145 divisor byte for a bit rate; 0 when the rate has none.
uint8_t BitRateDivisor(int32_t rate);

// "AUTO", "ПК", "VRX 2.0"; empty for other values.
std::string ProtocolTypeName(int32_t type);

// Protocol byte of the identification as an item of the protocol list; -1 selects nothing.
int ProtocolComboIndexFor(uint8_t protocolByte);
