#include "commands/AddressChecks.h"

#include "commands/NetAddressSearch.h"

namespace {

// The last address the search of the configuration window probes in the own protocol.
constexpr int kOwnAddressLast = 127;

}  // namespace

std::string NewBusAddressRefusal(int address, int baudRate) {
    const int last = baudRate == kVrxLineRate ? kVrxSearchLast : kOwnAddressLast;
    if (address >= 1 && address <= last) return {};
    return "Адрес должен быть от 1 до " + std::to_string(last);
}
