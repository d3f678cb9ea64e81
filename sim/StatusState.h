#pragma once
// What the simulated controller reports beside its fills: how each channel looks (names,
// colours, loaded dose, flags), its flowmeters, display boards and keyboards, and its two
// configuration pages, kept as the bytes it sends so that a write is read back unchanged.
#include <array>
#include <cstdint>

constexpr int kSimDisplayDevices = 7;  // display boards 0..3, keyboards 4..6
constexpr int kSimDisplayBoards = 4;

struct SimChannelLook {
    bool Blocked = false;
    bool DisplayBusy = false;
    bool NozzleBusy = false;
    uint32_t LoadedDoseMl = 0;
    uint32_t LoadedDoseMoney = 0;  // kopecks
    uint8_t LoadedSource = 0;
    uint8_t VrxAddress = 0;
    std::array<uint8_t, 3> LiftedColour{};   // red, green, blue
    std::array<uint8_t, 3> RestingColour{};
    std::array<uint8_t, 14> FuelName{};      // seven-segment display codes
    uint16_t PumpRampUpMs = 0;
};

struct SimFlowmeter {
    uint8_t Type = 1;        // 0 none, 1 two-channel, 2 quadrature, 3 crypto, 4 LPGmass
    uint8_t Decivolts = 120; // supply voltage
};

struct SimDisplayDevice {
    uint8_t Type = 0;         // boards: 0 LED, 1 LCD; keyboards: a number, 255 none
    int8_t Temperature = 0;   // °C, -128 no value
    int8_t TempOffset = 0;    // °C, -128 no value
    std::array<uint8_t, 5> Firmware{};             // minor, major, day, month, year - 2000
    std::array<uint8_t, 6> ColourCorrection{};     // boards: coefficients R G B, offsets R G B
};

// Byte offsets of the sub-controller page.
namespace SubTrkPage {
constexpr int PcbChannels = 0, Boards = 1, LogicalChannels = 2, Divisor = 3;
constexpr int Address1 = 4, State1 = 5, Address2 = 6, State2 = 7;
constexpr uint8_t OnLine = 0, NoLink = 255;
}  // namespace SubTrkPage

struct SimStatusState {
    std::array<SimChannelLook, 15> Channels{};
    std::array<SimFlowmeter, 15> Flowmeters{};
    std::array<SimDisplayDevice, kSimDisplayDevices> Displays{};
    std::array<uint8_t, 33> TrkCfg{};    // page 4
    std::array<uint8_t, 8> SubTrkCfg{};  // page 0
    // Until the tool writes addresses, the boards sit at the controller's address + 64 and
    // - 64, wherever the controller itself was moved.
    bool SubAddressesDerived = true;

    SimStatusState();  // five channels, four LED/LCD boards, two keyboards, no sub-controllers
};

// Puts `boards` sub-controller boards (0..2) on line; the others are absent.
void SetSubControllers(SimStatusState& s, int boards);
// Bus address of sub-controller board 0 or 1 (0 = none) of the controller at `ownAddress`.
uint8_t SubControllerAddress(const SimStatusState& s, uint8_t ownAddress, int board);
// The sub-controller page as the controller sends it.
std::array<uint8_t, 8> SubTrkPageBytes(const SimStatusState& s, uint8_t ownAddress);
