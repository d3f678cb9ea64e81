#pragma once
// Service functions of command 228 the dialog windows start: the processor pin test, the SD
// card's root listing and the reading of one file from it in chunks.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TComThread;

void TestMcuPins(TComThread& w);          // result to the pin test window
void ReadSdCardDirectory(TComThread& w);  // listing kept in SdListing, names to the explorer
void ReadSdCardFile(TComThread& w);       // file SdFilePath, chunk after chunk to the explorer

// Names of the listing entries (decoded from Windows-1251), read only within the answer: an
// entry count larger than the answer holds ends at its end, and a name whose closing zero
// byte is missing is not taken.
std::vector<std::string> ParseSdListing(std::span<const uint8_t> answer);

// A chunk's data as text: up to its first zero byte, decoded from Windows-1251.
std::string SdChunkText(std::span<const uint8_t> data);

// Chunk lengths of a file read: the largest piece the controller hands out at once.
constexpr uint32_t kSdChunkMax = 768;
