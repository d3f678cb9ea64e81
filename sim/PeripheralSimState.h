#pragma once
// What the simulated controller knows of its flowmeters beyond their type and voltage
// (those live in sim/StatusState.h, shared with command 209), of its sound generator and
// of its proportional-valve controller (232, 89). Volumes and flow come from the fills of
// sim/Pouring.h, so the flowmeters count what the channels pour.
#include <array>
#include <cstdint>

constexpr int kSimFlowmeters = 5;  // the controller's own channels

// The data of a flowmeter that talks to the controller (crypto and LPGmass meters).
struct SimMeterData {
    uint8_t LpgAddress = 1;    // 1..254, used by LPGmass only
    bool Answers = true;       // the controller reaches it

    // Crypto flowmeter diagnostics.
    uint8_t Status = 0;
    uint8_t Gain = 102;             // 40 %
    uint8_t GainFlags = 0x01;       // internal compensation done
    uint16_t Strength = 11469;      // 70 %
    uint16_t AngleSkew = 37;        // uncompensated minus compensated angle
    uint8_t FirmwareVersion = 3;
    uint32_t FirmwareDate = 769'564'800;  // 2024-05-21 00:00:00
    uint64_t FactoryMl = 1'250'000;       // counted before the controller's totals began
    int8_t Temperature = 17;              // °C before the offset
    int8_t TempOffset = 0;
};

struct SimSoundGen {
    bool Present = true;
    uint8_t State = 2;         // stopped
    uint8_t Volume = 20;       // 0..30
    uint8_t Address = 5;
    uint16_t Files = 42;
    uint16_t LastFile = 1;
    uint8_t Folders = 3;
    uint16_t DeviceType = 38;
    std::array<uint8_t, 5> Firmware = {2, 1, 15, 3, 23};  // v1.2 of 15.03.2023
};

struct SimValveController {
    bool Present = true;
    uint8_t Address = 7;
    uint8_t Divisor = 7;       // 115200 bit/s
    uint8_t Opening = 40;      // percent during flow reduction
    int8_t Temperature = 31;
    uint16_t SupplyMv = 24'120;
    uint16_t DeviceType = 39;
    uint8_t Minor = 4, Major = 1;
    uint32_t FirmwareDate = 757'434'645;  // 2024-01-01 14:30:45
};

struct SimPeripherals {
    std::array<SimMeterData, kSimFlowmeters> Meters{};
    double LpgDensity = 0.51;  // kg per litre, for the mass total of an LPGmass meter
    SimSoundGen SoundGen;
    SimValveController Valves;
};
