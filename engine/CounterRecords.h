#pragma once
// Records of the counter readers (last fill, data block, totals, temperatures) and
// their decoding from answer bytes. Pure; the operations live in CounterReaders.
#include <array>
#include <cstdint>
#include <span>

constexpr int LastFillSize = 44;        // answer bytes 4..47 of command 208
constexpr int DataBlockStatusSize = 8;  // answer bytes 4..11 of command 209
constexpr int DataBlockRecordsSize = 40;// answer bytes 12..51: five records of two u32

// Answer lengths the readers need.
constexpr int LastFillAnswer = 48;
constexpr int ChannelTotalsAnswer = 56;
constexpr int ChannelCountersAnswer = 64;
constexpr int TempsAnswer = 20;
constexpr int DataBlockMaxChannels = 5;
// Length a data-block answer for n channels must reach.
constexpr int DataBlockAnswerFor(int channels) { return 8 * channels + 12; }

// Time stamp of a fill: UTC seconds since 2000, zone in quarter hours, summer-time mode.
struct FillStamp {
    uint32_t seconds = 0;
    int8_t zone = 0;
    uint8_t summerMode = 0;
};

struct LastFill {
    uint32_t transaction = 0;
    FillStamp start, end;
    uint32_t startedDose = 0;    // ml
    uint32_t poured = 0;         // ml
    uint32_t flowmeterBase = 0;  // ml
    uint32_t coefficient = 0;    // pulses per 10 l
    uint64_t total = 0;          // ml
    uint32_t overfillTotal = 0;  // ml
};
LastFill DecodeLastFill(std::span<const uint8_t, LastFillSize> block);

// The totals both sub-codes of command 249 carry; the further counters have no known
// meaning and are only kept.
struct ChannelTotals {
    uint64_t total = 0;          // ml
    uint32_t overfillTotal = 0;  // ml
    uint32_t further1 = 0;
    uint64_t further2 = 0;
    uint32_t further3 = 0;
    uint64_t money = 0;          // kopecks
    uint64_t manual = 0;         // ml
    uint32_t remote = 0;         // ml, fills started from the infrared remote
};
struct FlowmeterCounters {
    uint32_t poured = 0;    // ml, current dose
    uint32_t overfill = 0;  // ml, current dose
    ChannelTotals totals;
};

// Decodes command 249 sub-code 2 (totals at byte 8, base at byte 4) and sub-code 3
// (two current-dose values first, everything else 8 bytes later). The answer must be
// at least ChannelTotalsAnswer / ChannelCountersAnswer bytes long.
ChannelTotals DecodeChannelTotals(std::span<const uint8_t> answer, uint32_t& flowmeterBase);
FlowmeterCounters DecodeFlowmeterCounters(std::span<const uint8_t> answer, uint32_t& flowmeterBase);

struct TempsAndVoltage {
    int8_t temperature = 0;   // °C, -128 = no sensor
    uint8_t illumination1 = 0;
    uint8_t illumination2 = 0;
    uint16_t voltage = 0;     // V
    bool manualMode = false;  // the last answer carried result 179
};
// Result codes under which command 252 still carries its data.
constexpr uint8_t ManualModeResult = 179;
constexpr uint8_t NoLpgMassLinkResult = 199;
bool TempsResultCarriesData(int resultCode);
TempsAndVoltage DecodeTempsAndVoltage(std::span<const uint8_t> answer, int resultCode);

// Percent of full scale for an illumination byte, rounded.
int IlluminationPercent(uint8_t value);

// Hardware fault code while the controller reports manual mode: 31 replaces "no fault",
// and is withdrawn when manual mode ends; every other fault stays.
constexpr int ManualModeFault = 31;
int HdwErrCodeAfterModeReport(int currentCode, bool manualMode);

// Channel count of a data-block answer when it is acceptable, 0 otherwise.
int DataBlockChannels(std::span<const uint8_t> answer);
