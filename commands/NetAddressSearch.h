#pragma once
// The bus search: at every bit rate the tool knows, ask each address of a range whether a
// device answers, and list the ones that do in the configuration window's memo.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TComThread;

// Addresses probed at 4800 bit/s, whatever range was staged.
constexpr int kVrxSearchLast = 225;

// Searches SearchFrom..SearchTo at every rate, the current one first; gives the window's
// button its "Начать" back when it ends.
void FindNetAddress(TComThread& w);

// The search's own stop ("СТОП"): it ends the search alone, not a poll it was handed to.
// The window clears it when it hands a search over and sets it to stop that search.
void RequestSearchStop();
void ClearSearchStop();

// The pauses of the search; tests put one of their own in its place.
using SearchPauseFn = void (*)(std::chrono::milliseconds);
extern SearchPauseFn SearchPause;

// The search itself; `vrxLast` is the last address probed at 4800 (kVrxSearchLast but in tests).
void SearchNetAddresses(TComThread& w, int vrxLast);

// One rate: the wake-up bytes, then one probe per address of first..last. False when the
// worker or the search was asked to stop.
bool SearchAtRate(TComThread& w, int rate, int first, int last);

// The memo line that opens a search on a line whose rate the far end keeps.
std::string FixedRateSearchText(int rate);

// The rates in search order: the rate the port was opened with first, the others as listed.
std::vector<int> SearchRates(int32_t currentRate);

// The memo line for an address that answered, by the exchange's error: 0 a whole, accepted
// answer, whose `type` is the device type when the answer was long enough to carry it; a
// result code a whole answer that refused, so one device is there; a link error a garbled
// answer, as two devices at one address give.
std::string FoundLineText(int rate, int address, int error, std::optional<uint16_t> type);
