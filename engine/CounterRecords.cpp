#include "engine/CounterRecords.h"

namespace {

template <typename T>
T Le(std::span<const uint8_t> bytes, size_t at) {
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;) value = static_cast<T>(value << 8 | bytes[at + i]);
    return value;
}

FillStamp StampAt(std::span<const uint8_t> bytes, size_t at) {
    return {Le<uint32_t>(bytes, at), static_cast<int8_t>(bytes[at + 4]), bytes[at + 5]};
}

// Totals laid out from `at` on: total, overfills, three further counters, money,
// manual fills, remote-control fills.
ChannelTotals TotalsAt(std::span<const uint8_t> a, size_t at) {
    ChannelTotals t;
    t.total = Le<uint64_t>(a, at);
    t.overfillTotal = Le<uint32_t>(a, at + 8);
    t.further1 = Le<uint32_t>(a, at + 12);
    t.further2 = Le<uint64_t>(a, at + 16);
    t.further3 = Le<uint32_t>(a, at + 24);
    t.money = Le<uint64_t>(a, at + 28);
    t.manual = Le<uint64_t>(a, at + 36);
    t.remote = Le<uint32_t>(a, at + 44);
    return t;
}

}  // namespace

LastFill DecodeLastFill(std::span<const uint8_t, LastFillSize> block) {
    std::span<const uint8_t> b = block;
    LastFill f;
    f.transaction = Le<uint32_t>(b, 0);
    f.start = StampAt(b, 4);
    f.end = StampAt(b, 10);
    f.startedDose = Le<uint32_t>(b, 16);
    f.poured = Le<uint32_t>(b, 20);
    f.flowmeterBase = Le<uint32_t>(b, 24);
    f.coefficient = Le<uint32_t>(b, 28);
    f.total = Le<uint64_t>(b, 32);
    f.overfillTotal = Le<uint32_t>(b, 40);
    return f;
}

ChannelTotals DecodeChannelTotals(std::span<const uint8_t> answer, uint32_t& flowmeterBase) {
    flowmeterBase = Le<uint32_t>(answer, 4);
    return TotalsAt(answer, 8);
}

FlowmeterCounters DecodeFlowmeterCounters(std::span<const uint8_t> answer, uint32_t& flowmeterBase) {
    FlowmeterCounters c;
    c.poured = Le<uint32_t>(answer, 4);
    c.overfill = Le<uint32_t>(answer, 8);
    flowmeterBase = Le<uint32_t>(answer, 12);
    c.totals = TotalsAt(answer, 16);
    return c;
}

bool TempsResultCarriesData(int resultCode) {
    return resultCode == 0 || resultCode == ManualModeResult || resultCode == NoLpgMassLinkResult;
}

TempsAndVoltage DecodeTempsAndVoltage(std::span<const uint8_t> answer, int resultCode) {
    TempsAndVoltage t;
    t.temperature = static_cast<int8_t>(answer[3]);
    t.illumination1 = answer[4];
    t.illumination2 = answer[5];
    t.voltage = Le<uint16_t>(answer, 6);
    t.manualMode = resultCode == ManualModeResult;
    return t;
}

int IlluminationPercent(uint8_t value) { return (value * 100 + 128) / 256; }

int HdwErrCodeAfterModeReport(int currentCode, bool manualMode) {
    if (manualMode && currentCode == 0) return ManualModeFault;
    if (!manualMode && currentCode == ManualModeFault) return 0;
    return currentCode;
}

int DataBlockChannels(std::span<const uint8_t> answer) {
    if (answer.size() < 4) return 0;
    int n = answer[3];
    if (n < 1 || n > DataBlockMaxChannels) return 0;
    return static_cast<int>(answer.size()) >= DataBlockAnswerFor(n) ? n : 0;
}
