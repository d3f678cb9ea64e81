#include "commands/ConfigMapping.h"

#include "commands/NumberText.h"

#include <algorithm>

namespace {

using C = TrkCfgControls;

constexpr std::array<HoseSetItem, 31> HoseSets{{
    {"1", 0x01}, {"2", 0x02}, {"3", 0x04}, {"4", 0x08}, {"5", 0x10},
    {"1+2", 0x03}, {"1+3", 0x05}, {"1+4", 0x09}, {"1+5", 0x11}, {"2+3", 0x06},
    {"2+4", 0x0A}, {"2+5", 0x12}, {"3+4", 0x0C}, {"3+5", 0x14}, {"4+5", 0x18},
    {"1+2+3", 0x07}, {"1+2+4", 0x0B}, {"1+2+5", 0x13}, {"1+3+4", 0x0D}, {"1+3+5", 0x15},
    {"1+4+5", 0x19}, {"2+3+4", 0x0E}, {"2+3+5", 0x16}, {"2+4+5", 0x1A}, {"3+4+5", 0x1C},
    {"1+2+3+4", 0x0F}, {"1+2+3+5", 0x17}, {"1+2+4+5", 0x1B}, {"1+3+4+5", 0x1D},
    {"2+3+4+5", 0x1E}, {"1+2+3+4+5", 0x1F},
}};

// A per-channel combo whose item index is stored in a bit field of byte Base + Stride * i.
struct ItemField {
    std::array<int, CfgChannels> C::*Member;
    int Base, Stride, Shift, Width, Items;
};
constexpr ItemField ItemFields[] = {
    {&C::SmallValveOut, 3, 1, 0, 4, 15}, {&C::LargeValveOut, 3, 1, 4, 4, 15},
    {&C::PumpOut, 8, 1, 0, 8, 15},
    {&C::HoseValve, 13, 2, 0, 4, 5},     {&C::HosePump, 13, 2, 4, 4, 5},
    {&C::HoseNozzle, 14, 2, 0, 4, 5},    {&C::HoseFlowmeter, 14, 2, 4, 4, 5},
};

// Behaviour switches of byte 2; bit 5 is not shown and bits 0 and 1 are always sent as 0.
struct FlagBit {
    bool C::*Member;
    int Bit;
};
constexpr FlagBit BehaviourFlags[] = {
    {&C::WaitNozzleFree, 7}, {&C::DontShowTotals, 6}, {&C::DoseAccuracy, 4},
    {&C::KazakhPrice, 3},    {&C::VrxOverflow, 2},
};
constexpr uint8_t BehaviourKeptBits = 0x20;

constexpr int InvAvarBtnBit = 5;
constexpr int TrigNozzleBit = 7;
constexpr uint8_t BoardBits = 0x0F;
constexpr uint8_t BoardByteKeptBits = 0x70;

bool BitSet(uint8_t byte, int bit) { return (byte >> bit) & 1; }
uint8_t BitIf(bool on, int bit) { return on ? static_cast<uint8_t>(1u << bit) : 0; }

struct DivisorRate {
    uint32_t Rate;
    uint8_t Divisor;
};
constexpr DivisorRate SubTrkRates[] = {{9600, 95}, {19200, 47}, {38400, 23}, {57600, 15}};
constexpr uint8_t DefaultSubTrkDivisor = 7;  // 115200, also for a rate the link cannot do
constexpr uint32_t SubTrkClock = 921600;

}  // namespace

std::span<const HoseSetItem> HoseSetItems() { return HoseSets; }

int HoseSetIndex(uint8_t code) {
    auto hit = std::ranges::find(HoseSets, code, &HoseSetItem::Code);
    return hit == HoseSets.end() ? NoSelection : static_cast<int>(hit - HoseSets.begin());
}

std::optional<uint8_t> HoseSetCode(int index) {
    if (index < 0 || index >= static_cast<int>(HoseSets.size())) return std::nullopt;
    return HoseSets[index].Code;
}

std::optional<int> TrkCfgChannelCount(TrkCfgRecord record) {
    if (record[0] < 1 || record[0] > CfgChannels) return std::nullopt;
    return record[0];
}

TrkCfgControls TrkCfgToControls(TrkCfgRecord record) {
    C c;
    c.ChannelCountIndex = TrkCfgChannelCount(record).value_or(0) - 1;
    for (int i = 0; i < CfgChannels; ++i) c.InvNozzle[i] = BitSet(record[1], i);
    for (int k = 0; k < 2; ++k) c.InvAvarBtn[k] = BitSet(record[1], InvAvarBtnBit + k);
    for (const FlagBit& f : BehaviourFlags) c.*f.Member = BitSet(record[2], f.Bit);
    for (const ItemField& f : ItemFields) {
        for (int i = 0; i < CfgChannels; ++i) {
            int value = (record[f.Base + f.Stride * i] >> f.Shift) & ((1 << f.Width) - 1);
            (c.*f.Member)[i] = value < f.Items ? value : NoSelection;
        }
    }
    for (int i = 0; i < CfgChannels; ++i) {
        uint8_t boards = record[23 + 2 * i];
        for (int k = 0; k < CfgBoards; ++k) c.ChannelBoard[i][k] = BitSet(boards, k);
        c.TrigNozzle[i] = BitSet(boards, TrigNozzleBit);
        c.HoseSet[i] = HoseSetIndex(record[24 + 2 * i]);
    }
    return c;
}

void ControlsToTrkCfg(const TrkCfgControls& c, std::span<uint8_t, kTrkCfgSize> record) {
    if (c.ChannelCountIndex >= 0 && c.ChannelCountIndex < CfgChannels)
        record[0] = static_cast<uint8_t>(c.ChannelCountIndex + 1);

    uint8_t sensors = 0;
    for (int i = 0; i < CfgChannels; ++i) sensors |= BitIf(c.InvNozzle[i], i);
    for (int k = 0; k < 2; ++k) sensors |= BitIf(c.InvAvarBtn[k], InvAvarBtnBit + k);
    record[1] = sensors;

    uint8_t behaviour = record[2] & BehaviourKeptBits;
    for (const FlagBit& f : BehaviourFlags) behaviour |= BitIf(c.*f.Member, f.Bit);
    record[2] = behaviour;

    for (const ItemField& f : ItemFields) {
        const uint8_t mask = static_cast<uint8_t>(((1 << f.Width) - 1) << f.Shift);
        for (int i = 0; i < CfgChannels; ++i) {
            int value = (c.*f.Member)[i];
            if (value < 0 || value >= f.Items) continue;
            uint8_t& byte = record[f.Base + f.Stride * i];
            byte = static_cast<uint8_t>((byte & ~mask) | (value << f.Shift));
        }
    }
    for (int i = 0; i < CfgChannels; ++i) {
        uint8_t& boards = record[23 + 2 * i];
        uint8_t value = boards & BoardByteKeptBits;
        for (int k = 0; k < CfgBoards; ++k) value |= BitIf(c.ChannelBoard[i][k], k);
        boards = value | BitIf(c.TrigNozzle[i], TrigNozzleBit);
        if (auto code = HoseSetCode(c.HoseSet[i])) record[24 + 2 * i] = *code;
    }
}

std::string SubTrkStateText(uint8_t state) {
    switch (state) {
        case 0: return "На связи";
        case 29: return "Неправильная длина ответа";
        case 255: return "Нет связи";
        default: return std::to_string(state);
    }
}

uint32_t SubTrkBitRate(uint8_t divisor) { return SubTrkClock / (divisor + 1u); }

uint8_t SubTrkDivisor(std::string_view bitRateText) {
    auto rate = ParseWholeNumber(bitRateText);
    for (const DivisorRate& r : SubTrkRates)
        if (rate && *rate == r.Rate) return r.Divisor;
    return DefaultSubTrkDivisor;
}

SubTrkCfgTexts SubTrkCfgToTexts(SubTrkCfgRecord r) {
    auto number = [](uint8_t v) { return std::to_string(v); };
    return {number(r[0]), number(r[1]), number(r[2]), std::to_string(SubTrkBitRate(r[3])),
            number(r[4]), SubTrkStateText(r[5]), number(r[6]), SubTrkStateText(r[7])};
}

SubTrkValues SubTrkValuesToWrite(std::string_view address1, std::string_view address2,
                                 std::string_view bitRate) {
    SubTrkValues v;
    std::string_view texts[] = {address1, address2};
    for (int k = 0; k < 2; ++k) {
        long long address = ParseWholeNumber(texts[k]).value_or(0);
        if (address < 0 || address > 255) {
            v.Error = "Адрес подчинённого контроллера должен быть от 0 до 255";
            return v;
        }
        v.Bytes[k] = static_cast<uint8_t>(address);
    }
    v.Bytes[2] = SubTrkDivisor(bitRate);
    return v;
}

