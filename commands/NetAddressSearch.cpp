#include "commands/NetAddressSearch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/ComThreadUnit.h"
#include "engine/DeviceTypes.h"
#include "link/ComPortUnit.h"
#include "link/ResultCodes.h"

namespace {

constexpr int kVrxRate = 4800;
constexpr std::array<int, 6> kRates = {4800, 9600, 19200, 38400, 57600, 115200};
// Raw bytes that make every device on the line drop a half-received frame.
constexpr std::array<uint8_t, 3> kWakeUp = {0x55, 0x55, 0xC0};
constexpr std::array<uint8_t, 3> kVrxWakeUp = {0x03, 0x03, 0x55};
constexpr auto kAfterWakeUp = std::chrono::milliseconds(200);
constexpr auto kBeforeProbe = std::chrono::milliseconds(20);
constexpr uint32_t kProbeTimeoutMs = 70;
constexpr uint32_t kVrxProbeTimeoutMs = 100;
constexpr uint8_t kVrxProbeChar = '1';
constexpr int kTypeAt = 3;  // device type, u16, of the identification answer

// Back to the rate the worker opened the port with: a search handed to a running poll must
// not leave the poll talking at the last rate tried.
struct RestoreRate {
    int32_t rate;
    ~RestoreRate() { ComPort.SetBitRate(rate); }
};

std::atomic<bool> searchStop{false};

void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

bool Stopped(const TComThread& w) { return w.Terminated() || searchStop.load(std::memory_order_acquire); }

// One probe; returns false when the search is to end.
bool Probe(TComThread& w, int rate, int address) {
    const std::string progress =
        "Поиск сетевых адресов " + std::to_string(rate) + " " + std::to_string(address) + "...";
    ComPort.Sending = true;
    w.ShowStatus();
    SearchPause(kBeforeProbe);

    const bool vrx = rate == kVrxRate;
    std::array<uint8_t, 256> buffer{};
    if (vrx) {
        ComPort.SetReadTimeout(kVrxProbeTimeoutMs);
        const uint8_t probe[] = {uint8_t(address), kVrxProbeChar};
        ComPort.SendVrx(probe, 2);
    } else {
        ComPort.SetReadTimeout(kProbeTimeoutMs);
        const uint8_t probe[] = {uint8_t(address), 0, 0};
        ComPort.Send(probe, 3);
    }
    if (ComPort.Error != 0) {
        w.PollStatusText = progress + ComPort.ResultText;
        w.ShowStatus();
        // An unplugged adapter fails every send at once: the stop must not wait out the search.
        return !Stopped(w);
    }
    const int received = vrx ? ComPort.ReceiveVrx(buffer.data(), int(buffer.size()))
                             : ComPort.Receive(buffer.data(), int(buffer.size()));
    w.PollStatusText = progress + ComPort.ResultText;
    w.ShowStatus();
    if (Stopped(w)) return false;
    if (received == 0) return true;

    const bool clean = ComPort.Error == 0;
    // The type is read only from an answer long enough to hold it, never from older bytes.
    std::optional<uint16_t> type;
    if (!vrx && clean && received >= kTypeAt + 2) type = uint16_t(buffer[kTypeAt] | buffer[kTypeAt + 1] << 8);
    w.FoundLine = FoundLineText(ComPort.GetBitRate(), address, ComPort.Error, type);
    w.Synchronize([&w] { w.Ui.Config->AppendFoundLine(w.FoundLine); });
    return true;
}

}  // namespace

SearchPauseFn SearchPause = Sleep;

void RequestSearchStop() { searchStop.store(true, std::memory_order_release); }
void ClearSearchStop() { searchStop.store(false, std::memory_order_release); }

std::vector<int> SearchRates(int32_t currentRate) {
    std::vector<int> rates(kRates.begin(), kRates.end());
    const auto current = std::find(rates.begin(), rates.end(), currentRate);
    if (current != rates.end()) std::rotate(rates.begin(), current, current + 1);
    return rates;
}

std::string FoundLineText(int rate, int address, int error, std::optional<uint16_t> type) {
    std::string line = std::to_string(rate) + " " + std::to_string(address);
    if (error < 0) return line + " КОНФЛИКТ\r\n";
    // A refusal came in a frame with a good checksum: one device is there, it just did not
    // take the probe (a sub-controller that does not know the identification request).
    if (error > 0) return line + " найдено, отказ: " + ResultCodeText(error) + "\r\n";
    std::string device = "Неизвестное устройство";
    if (rate == kVrxRate) device = "контроллер VRX 2.0";
    else if (type) device = DeviceTypeText(*type);
    return line + " найдено " + device + "\r\n";
}

std::string FixedRateSearchText(int rate) {
    return "Скорость этой линии задаёт преобразователь: поиск только на " + std::to_string(rate) + "\r\n";
}

bool SearchAtRate(TComThread& w, int rate, int first, int last) {
    // A stop that came before the search began (it waited behind other operations).
    if (Stopped(w)) return false;
    ComPort.SetBitRate(rate);
    const auto& wakeUp = rate == kVrxRate ? kVrxWakeUp : kWakeUp;
    ComPort.WriteRaw(wakeUp.data(), int(wakeUp.size()));
    SearchPause(kAfterWakeUp);
    ComPort.Purge();
    for (int address = first; address <= last; ++address)
        if (!Probe(w, rate, address)) return false;
    return true;
}

void SearchNetAddresses(TComThread& w, int vrxLast) {
    RestoreRate restore{w.BitRate};
    // A converter that passes bytes as they are keeps its own rate: only that one can be searched.
    const bool walk = ComPort.CanSetBitRate();
    if (!walk) {
        w.FoundLine = FixedRateSearchText(w.BitRate);
        w.Synchronize([&w] { w.Ui.Config->AppendFoundLine(w.FoundLine); });
    }
    for (int rate : walk ? SearchRates(w.BitRate) : std::vector<int>{w.BitRate}) {
        const bool vrx = rate == kVrxRate;
        if (!SearchAtRate(w, rate, vrx ? 1 : w.SearchFrom, vrx ? vrxLast : w.SearchTo)) return;
    }
}

void FindNetAddress(TComThread& w) {
    SearchNetAddresses(w, kVrxSearchLast);
    // The caption follows the search, not the job it ran in: a poll goes on after it.
    w.Synchronize([&w] { w.Ui.Config->SetFindNetAddrButtonCaption("Начать"); });
}
