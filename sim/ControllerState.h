#pragma once
// Everything one simulated controller remembers. A plain struct so that handler families
// read and change it directly; each family adds its own fields in its own section below.
#include <array>
#include <cstdint>
#include <map>

#include "sim/StatusState.h"

#include "sim/DoseState.h"
#include "sim/PeripheralSimState.h"
#include "sim/ServiceSimState.h"
#include "sim/Pouring.h"
#include "sim/RemoteInitState.h"
#include "sim/TabloTestState.h"

// The controller's real-time clock: UTC seconds since 2000-01-01 follow the host clock
// plus an offset, or stand still at a fixed value.
struct SimClockState {
    int64_t OffsetSeconds = 0;   // controller UTC minus host UTC while running
    bool Standing = false;       // a stopped clock keeps StandingUtc
    uint32_t StandingUtc = 0;
    int8_t Zone = 12;            // quarter hours east of UTC
    uint8_t SummerMode = 0;      // 0 none, 1 automatic switching, 2 summer time always
};

struct ControllerState {
    // --- Link: where and how the controller listens
    uint8_t Address = 1;
    int BitRate = 9600;
    uint8_t ProtocolType = 0;          // 0 AUTO, 1 PC, 2 VRX 2.0
    bool RefuseAddressChange = false;  // answers command 34 with "invalid data" instead

    // --- Identity (identification record of command 0, sub-code 0)
    uint16_t DeviceType = 33;
    uint8_t FirmwareMinor = 7, FirmwareMajor = 3;
    uint8_t FirmwareDay = 14, FirmwareMonth = 5, FirmwareYear = 24;
    std::array<uint8_t, 8> Serial = {0x4F, 0x52, 0x4E, 0x58, 0x00, 0x01, 0x27, 0x10};
    int8_t RtcTemperature = 27;
    uint8_t HardwareError = 0;
    int8_t CpuTemperature = 41;
    uint32_t VrxId = 100001;
    uint8_t DoorSensors = 0;
    // Content length of the identification answer (address, command, result and data);
    // older firmware answers 20, 21 or 26 bytes instead of the full 27.
    int IdentityAnswerLength = 27;
    std::array<uint8_t, 16> FirmwareMd5 = {0x3A, 0x7F, 0x10, 0xC2, 0x5E, 0x91, 0x0B, 0xD4,
                                           0x66, 0x28, 0xE3, 0x4D, 0x8C, 0x01, 0xB9, 0x75};
    int Md5DelayMs = 0;  // the real firmware hashes its flash before answering

    // --- Clock (commands 8, 9, 10)
    SimClockState Clock;

    // --- Families of later commands add their sections below this line.

    // --- Channel looks, flowmeter blocks, display devices, configuration pages (209, 211/210, 215)
    SimStatusState Status;

    // --- Fills pouring over time: counters, last fills, flowmeter volumes (sim/Pouring.h)
    SimPouring Pouring;

    // --- Temperatures and supply (command 252, sim/CounterHandlers.cpp)
    bool ManualMode = false;       // readings come with result 179
    int8_t BoardTemperature = 23;  // DS18B20, °C; -128 = no sensor
    uint16_t SupplyVoltage = 24;   // V

    // --- Controller parameters (commands 214/215, 218..223, 250/251, sim/TimeParamHandlers.cpp)
    uint8_t FlowmeterTimeout = 30;  // s
    // Main-valve timeout 2.5 s, threshold 20, difference 10, back-run 5, leak 50 ml,
    // counting 300 ms, minimal speed 100 ml/s for 5 s, manual dose 0, fault speed 50 ml/s, 3 fills.
    std::array<uint8_t, 18> FlowmeterParams = {25, 20, 10, 5, 50, 0, 0x2C, 0x01, 100, 0, 5,
                                               0, 0, 0, 0, 50, 0, 3};
    int FlowmeterAnswerLength = 22;  // older firmware answers 4 or 19 bytes
    uint16_t TabloCutOff = 100;      // ml
    uint8_t NightBright = 30;        // %
    uint8_t TabloTestStep = 10;      // tens of ms
    std::array<uint16_t, 15> ReductionConst = {150, 150, 150, 200, 200, 150, 150, 150, 150, 150,
                                               120, 120, 120, 120, 120};  // ml

    // --- Flowmeters, sound generator and valve controller (sim/PeripheralSimState.h)
    SimPeripherals Peripherals;

    // --- Doses and prices the host sets (commands 200..207, sim/DoseHandlers.cpp)
    SimDoses Doses;

    // --- Pin self-test, SD card and frame memory (commands 228/5..8, 141, sim/ServiceHandlers.cpp)
    SimService Service;

    // --- Display-board test: automatic runs and frames shown by hand (command 214, sim/TabloTestHandlers.cpp)
    SimTabloTest TabloTest;

    // --- Remote initialisation (command 228/10, 228/11, sim/RemoteInitHandlers.cpp)
    SimRemoteInit RemoteInit;
};
