#include "sim/StatusState.h"

#include <algorithm>

#include "link/FuelNameCodes.h"

namespace {

constexpr const char* FuelNames[] = {"A-92", "A-95", "A-98", "dt", "GAS"};
constexpr uint8_t SubControllerDistance = 64;

// Five channels, each with its own hose, valves, pump, nozzle, flowmeter and power outputs;
// channel i shows on display board i + 1 (the fifth shares board 1).
std::array<uint8_t, 33> DefaultTrkCfg() {
    std::array<uint8_t, 33> r{};
    r[0] = 5;
    for (int i = 0; i < 5; ++i) {
        r[3 + i] = uint8_t(3 * i | (3 * i + 1) << 4);  // reduction and main valve outputs
        r[8 + i] = uint8_t(3 * i + 2);                 // pump output
        r[13 + 2 * i] = uint8_t(i | i << 4);           // valve and pump of hose i
        r[14 + 2 * i] = uint8_t(i | i << 4);           // nozzle and flowmeter of hose i
        r[23 + 2 * i] = uint8_t(1 << (i % 4));
        r[24 + 2 * i] = uint8_t(1 << i);
    }
    return r;
}

}  // namespace

SimStatusState::SimStatusState() {
    for (size_t i = 0; i < Channels.size(); ++i) {
        SimChannelLook& ch = Channels[i];
        ch.VrxAddress = uint8_t(i + 1);
        ch.PumpRampUpMs = uint16_t(1000 + 100 * i);
        ch.LiftedColour = {0x00, 0xC0, uint8_t(16 * i)};
        ch.RestingColour = {0xFF, 0xFF, 0xFF};
        EncodeFuelName(FuelNames[i % 5], ch.FuelName);
    }
    for (size_t i = 5; i < Flowmeters.size(); ++i) Flowmeters[i].Type = 2;
    const SimDisplayDevice boards[kSimDisplayBoards] = {
        {0, 21, 0, {1, 3, 9, 4, 21}, {200, 180, 160, 0xFF, 0x01, 0xFE}},
        {0, 22, 2, {1, 3, 9, 4, 21}, {255, 255, 255, 0xFF, 0xFF, 0xFF}},
        {1, 23, -1, {0, 2, 17, 11, 19}, {127, 127, 127, 0x00, 0x00, 0x00}},
        {1, -128, -128, {0, 2, 17, 11, 19}, {0, 0, 0, 0xFF, 0xFF, 0xFF}},
    };
    std::copy(std::begin(boards), std::end(boards), Displays.begin());
    Displays[4] = {2, 25, 0, {4, 1, 2, 3, 22}, {}};
    Displays[5] = {3, 26, 1, {4, 1, 2, 3, 22}, {}};
    Displays[6] = {255, -128, -128, {}, {}};
    TrkCfg = DefaultTrkCfg();
    SubTrkCfg = {5, 0, 0, 7, 0, SubTrkPage::NoLink, 0, SubTrkPage::NoLink};
}

void SetSubControllers(SimStatusState& s, int boards) {
    using namespace SubTrkPage;
    boards = std::clamp(boards, 0, 2);
    s.SubTrkCfg[Boards] = uint8_t(boards);
    s.SubTrkCfg[State1] = boards >= 1 ? OnLine : NoLink;
    s.SubTrkCfg[State2] = boards >= 2 ? OnLine : NoLink;
}

uint8_t SubControllerAddress(const SimStatusState& s, uint8_t ownAddress, int board) {
    using namespace SubTrkPage;
    if (!s.SubAddressesDerived) return s.SubTrkCfg[board == 0 ? Address1 : Address2];
    if (s.SubTrkCfg[Boards] <= board) return 0;
    return board == 0 ? uint8_t(ownAddress + SubControllerDistance) : uint8_t(ownAddress - SubControllerDistance);
}

std::array<uint8_t, 8> SubTrkPageBytes(const SimStatusState& s, uint8_t ownAddress) {
    std::array<uint8_t, 8> page = s.SubTrkCfg;
    page[SubTrkPage::Address1] = SubControllerAddress(s, ownAddress, 0);
    page[SubTrkPage::Address2] = SubControllerAddress(s, ownAddress, 1);
    return page;
}
