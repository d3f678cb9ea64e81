#pragma once
// The simulated controller's service side (command 228 and 141): what its pin self-test
// finds, the files on its SD card and the memory in which it records the frames it receives
// and sends.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSimPinCount = 76;
constexpr size_t kSimFrameMemorySize = 65536;
constexpr uint8_t kSimPinOk = 255;
constexpr uint8_t kSimPinToGround = 254;
constexpr uint8_t kSimPinToSupply = 253;

struct SimSdFile {
    std::string Name;           // 8-bit (Windows-1251) as on the card
    std::vector<uint8_t> Data;
    uint32_t Missing = 0;       // the size reported exceeds the data by this much: the file ends early
};

// A few files so that a bare simulator has something to browse.
std::vector<SimSdFile> BuiltInSdFiles();

// Erased memory reads 0xFF: a record length of 0xFFFF marks where the records end.
struct SimFrameMemory {
    std::vector<uint8_t> Bytes = std::vector<uint8_t>(kSimFrameMemorySize, 0xFF);
    size_t Used = 0;
    bool Full = false;  // the next record did not fit; nothing more is recorded until cleared
};

struct SimService {
    std::array<uint8_t, kSimPinCount> PinResult = [] {
        std::array<uint8_t, kSimPinCount> r{};
        r.fill(kSimPinOk);
        return r;
    }();
    std::vector<SimSdFile> SdFiles = BuiltInSdFiles();
    bool SdFilesGiven = false;  // the first file named on the command line replaces the built-in ones
    bool SdFault = false;       // every SD request answers "SD card error"
    SimFrameMemory Memory;
};

// Records a request and its answer (content bytes, at most 128 of each) with the time in
// controller ticks of 20/9 ms.
void RecordFrames(SimFrameMemory& m, int64_t nowMs, const std::vector<uint8_t>& request,
                  const std::vector<uint8_t>& answer);
