#pragma once
// Fills that pour over time on the simulated controller: the fill in progress of every
// channel, the counters it adds to when it ends, and the record of the last fill. Readers of
// counters, last fills, channel state and flowmeters all look at this one model, so what the
// tool sees agrees across commands. Time comes only from the controller's injected clock.
#include <array>
#include <cstdint>

class SimController;
struct SimClockState;

constexpr int kSimChannels = 15;

struct SimFillStamp {
    uint32_t Utc = 0;  // seconds since 2000-01-01 UTC
    int8_t Zone = 0;   // quarter hours
    uint8_t SummerMode = 0;
};

struct SimLastFill {
    uint32_t Transaction = 0;
    SimFillStamp Start, End;
    uint32_t StartedDoseMl = 0;
    uint32_t PouredMl = 0;
    uint32_t FlowmeterBaseMl = 0;
    uint32_t Coefficient = 0;  // pulses per 10 l
    uint64_t TotalMl = 0;
    uint32_t OverfillTotalMl = 0;
};

enum class SimFillPhase : uint8_t {
    Ready,      // nozzle on its hook, a dose may be started
    Pouring,    // fuel flows
    Finished,   // the dose is out and waits for confirmation
    Stopped,    // the host stopped the fill; it may pour on or be confirmed as it stands
};

// Where a dose came from (the source codes of the channel state).
enum SimFillSource : uint8_t {
    kSourceController = 0,
    kSourceRemote = 1,     // infrared remote control
    kSourceNozzle = 6,     // a manual fill started by lifting the nozzle
};

struct SimChannelPour {
    SimFillPhase Phase = SimFillPhase::Ready;
    uint8_t Source = kSourceController;
    uint32_t DoseMl = 0;      // the started dose
    uint32_t PouredMl = 0;    // so far in this fill
    uint32_t OverfillMl = 0;  // of this fill, known when it ends
    uint32_t PouredMoney = 0; // kopecks so far in this fill
    double FractionMl = 0;    // flow below one millilitre carried to the next tick
    SimFillStamp Start;

    uint64_t TotalMl = 0;
    uint32_t OverfillTotalMl = 0;
    uint64_t MoneyTotal = 0;  // kopecks
    uint64_t ManualTotalMl = 0;
    uint32_t RemoteTotalMl = 0;
    uint32_t Fills = 0;       // kept as the first of the counters without a known meaning

    uint32_t PricePerLitre = 5490;  // kopecks
    uint32_t Coefficient = 10000;   // pulses per 10 l
    uint32_t Transaction = 0;       // number of the last completed fill
    SimLastFill Last;
    int64_t NextCustomerMs = 0;     // when the virtual customer comes back
};

struct SimPouring {
    std::array<SimChannelPour, kSimChannels> Channels{};
    uint32_t FlowMlPerSecond = 600;  // about 36 l/min
    uint32_t FlowmeterBaseMl = 2000;
    // Virtual customers take fills on the first CustomerChannels channels on their own:
    // start a dose, wait for it, confirm it, come back a little later.
    bool Customers = true;
    int CustomerChannels = 5;
    int64_t LastTickMs = -1;
};

// Advances every fill to the controller's present time.
void PourUntilNow(SimController& c);
// Starts a dose; false when the channel does not exist or is not ready.
bool StartFill(SimController& c, int channel, uint32_t doseMl, uint8_t source);
// Confirms a finished fill so that the channel is ready again; a stopped fill ends with what
// it poured. False when no fill waits.
bool ConfirmFill(SimController& c, int channel);
// Halts a pouring fill where it stands; false unless one pours.
bool StopFill(SimController& c, int channel);
// Lets a stopped fill pour on towards its dose; false unless one is stopped.
bool ContinueFill(SimController& c, int channel);
// Flow rate of a channel in litres per minute (0 unless it pours).
uint32_t FlowLitresPerMinute(const SimPouring& p, int channel);
