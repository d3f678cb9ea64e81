#pragma once
// A fill on one channel the way a host system runs it: load the dose, start, stop, continue,
// confirm the end, block the channel, write and read its price. The writers send what a window
// staged and read nothing but the result code; the controller's own state shows the effect at
// the next channel-state reading.
#include <array>
#include <cstdint>
#include <string>

class TComThread;

void LoadDose(TComThread& w);        // SelectedChannel, DoseKind, DoseAmount
void StartDose(TComThread& w);       // SelectedChannel
void StopDose(TComThread& w);        // SelectedChannel
void ContinueDose(TComThread& w);    // SelectedChannel
void BlockChannel(TComThread& w);    // SelectedChannel, BlockFlag
void WritePrice(TComThread& w);      // SelectedChannel, PriceToWrite
void ReadPrice(TComThread& w);       // CurrentChannel
void ConfirmFillEnd(TComThread& w);  // SelectedChannel
// Confirms the previous fill, loads and starts the staged dose; each step runs even when the
// one before it failed.
void LoadAndStartDose(TComThread& w);

constexpr uint8_t kDoseByVolume = 0;
constexpr uint8_t kDoseByMoney = 1;

// Texts of a loaded dose as the dose window shows them: litres and money.
struct DoseTexts {
    std::string Dose;
    std::string Sum;
};
DoseTexts LoadedDoseTexts(uint32_t volumeMl, uint32_t moneyKopecks);
