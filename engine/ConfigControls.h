#pragma once
// What the configuration window shows for the controller's two configuration pages: the
// values the display steps hand to the window. The mapping to and from the records lives
// with the configuration commands.
#include <array>
#include <string>

constexpr int CfgChannels = 5;  // rows of the configuration window: channels, hoses
constexpr int CfgBoards = 4;    // display boards a channel can use
constexpr int NoSelection = -1; // a combo box item index when no item fits

// What every control of the configuration groups shows; combo values are item indexes.
struct TrkCfgControls {
    int ChannelCountIndex = NoSelection;  // NumberOfChannelsCombo: count - 1
    std::array<bool, CfgChannels> InvNozzle{};
    std::array<bool, 2> InvAvarBtn{};
    bool WaitNozzleFree = false, DontShowTotals = false, DoseAccuracy = false;
    bool KazakhPrice = false, VrxOverflow = false;
    // Power outputs "1".."15" of each channel.
    std::array<int, CfgChannels> SmallValveOut{}, LargeValveOut{}, PumpOut{};
    // Hose row: valve, pump, nozzle and flowmeter "1".."5".
    std::array<int, CfgChannels> HoseValve{}, HosePump{}, HoseNozzle{}, HoseFlowmeter{};
    std::array<std::array<bool, CfgBoards>, CfgChannels> ChannelBoard{};
    std::array<bool, CfgChannels> TrigNozzle{};
    std::array<int, CfgChannels> HoseSet{};  // index into HoseSetItems()

    bool operator==(const TrkCfgControls&) const = default;
};

// Texts of the sub-controller group.
struct SubTrkCfgTexts {
    std::string PcbChannels, BoardCount, LogicalChannels, BitRate;
    std::string Address1, State1, Address2, State2;

    bool operator==(const SubTrkCfgTexts&) const = default;
};
