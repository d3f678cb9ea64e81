#pragma once
// The controller's recorded frame memory: dumped into "VRX.log", one line per recorded frame,
// and cleared.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TComThread;

void ReadMemory(TComThread& w);   // every piece, until one fails or the worker is asked to stop
void ClearMemory(TComThread& w);

constexpr int kMemorySize = 65536;
constexpr int kMemoryPiece = 128;

// The dump lines of an image (without the time stamp the log writer puts in front): the tick
// time in ms, " Req: " or " Ans: ", the frame bytes in hexadecimal, "\r\n". Decoding ends at a
// length field above 128 and at a record that would run past the end of `image`, so that a
// reading that stopped early yields only records it really read.
std::vector<std::string> DecodeMemoryImage(std::span<const uint8_t> image);
