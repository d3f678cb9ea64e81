#pragma once
// What a run of the simulator is told from its command line (or by a test).
#include <cstdint>
#include <string>
#include <vector>

#include "sim/ControllerState.h"

// Answers spoiled on purpose, each as a share in percent of the answers in the main framing.
struct FaultPlan {
    int DropPercent = 0;       // no answer at all
    int BadCrcPercent = 0;     // a byte spoilt so that the CRC does not match
    int CutPercent = 0;        // the frame stops before its terminator
    int LatePercent = 0;       // the answer comes after the tool has given up on it
    int WrongEchoPercent = 0;  // another command code in byte 1
    int LateMs = 1500;         // how late, unless the next request comes first
    struct ForcedResult {
        uint8_t Command;
        uint8_t Result;
    };
    std::vector<ForcedResult> ForcedResults;  // this command always gets this result code

    bool Any() const {
        return DropPercent || BadCrcPercent || CutPercent || LatePercent || WrongEchoPercent;
    }
};

struct SimConfig {
    ControllerState Controller;  // the main controller; families' options change it too

    // More devices on the same line.
    bool Second = false;  // another controller at its own address and bit rate
    uint8_t SecondAddress = 2;
    int SecondBitRate = 19200;
    bool Twin = false;  // a second device at the main controller's address and rate
    // Any further devices (sub-controller boards at the address +-64, say): each listens at
    // the Address and BitRate of its own state.
    std::vector<ControllerState> ExtraDevices;
    // Further units of the main controller's kind, each at its own address, rate and type
    // (several at one address and rate answer together and garble each other).
    struct BusDevice {
        uint8_t Address = 1;
        int BitRate = 9600;
        uint16_t DeviceType = 33;
    };
    std::vector<BusDevice> BusDevices;

    FaultPlan Faults;
    uint64_t Seed = 1;
    bool Pace = false;     // answer bytes leave at the line rate
    int PaceBurst = 1;     // ... handed to the port this many at a time (a receiver FIFO, USB frames)
    std::string LinkPath;  // a symlink to the port, made at start and removed at exit
    std::string ReplayPath;     // answer only as this exchange log of the tester recorded
    bool ReplayTiming = false;  // ... and as late after each request as recorded
    bool Verbose = false;  // every request and answer in hex on stderr
    bool Help = false;
    bool Version = false;
};
