#pragma once
// The bus address a controller may be given, for the main window's address editor and for
// "ornix-cli address set" alike: a controller put beyond what the bus searches probe is lost.
#include <string>

// The VRX 2.0 line's rate: there the address is a nozzle's.
inline constexpr int kVrxLineRate = 4800;

// Empty when `address` may be sent at `baudRate`; else the message that refuses it.
std::string NewBusAddressRefusal(int address, int baudRate);
