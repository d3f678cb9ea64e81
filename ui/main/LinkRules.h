#pragma once
// Rules of the main window's link controls (status-bar panels, bit-rate menu, bus address
// editors, port list), as plain functions so they are tested without widgets.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/AddressChecks.h"

// The second host protocol runs only at this rate, and addresses a nozzle instead of the controller.
inline constexpr int kVrxProtocolRate = kVrxLineRate;

struct BitRateItem {
    const char* caption;
    int rate;
};
inline constexpr std::array<BitRateItem, 6> kBitRateMenu{{
    {"4800 VRX 2.0", 4800}, {"9600", 9600}, {"19200", 19200},
    {"38400", 38400}, {"57600", 57600}, {"115200", 115200},
}};

std::string BitRatePanelText(int baudRate);
std::string AddressPanelText(int baudRate, uint8_t devAddr);

// Whether a new rate picked in the menu is also sent to the controller: the controller
// cannot switch protocols by itself, so changes to or from the VRX rate stay local.
bool BitRateChangeIsSent(int baudRate, int newBaudRate);

// Decimal text as the editors read it: anything that is not a whole number counts as -1.
int ParseDecimalOr(std::string_view text, int fallback = -1);

// The address typed into the status-bar editor; nothing for 0, 255 and bad text.
std::optional<uint8_t> AcceptedDevAddr(std::string_view text);

// The new address for the controller: the value, or the message for panel 4 (the rule is
// NewBusAddressRefusal, which the command line applies too).
struct NewAddressCheck {
    int value = -1;
    std::string error;  // empty when the value may be sent
};
NewAddressCheck CheckNewBusAddress(std::string_view text, int baudRate);

// Status-bar panels are found by adding up their widths from the left; beyond the last counts as the last.
int PanelAt(const std::vector<int>& widths, int x);
// Panel 3 takes half of what is left after panels 0 to 2; when the message of panel 4 needs
// `messageWidth` and more than half, panel 3 yields down to a third.
int ProgressPanelWidth(int barWidth, const std::vector<int>& widths, int messageWidth = 0);

// One serial port of the machine as the port menu lists it.
struct PortEntry {
    std::string name;          // below /dev, e.g. "ttyUSB0"
    std::string friendlyName;  // "USB Serial (ttyUSB0)"
    std::string details = {};  // what else the system knows: "FTDI, с/н A50285BI"; the menu's second column
};
inline constexpr size_t kMaxPorts = 256;
std::string FriendlyPortName(std::string_view description, std::string_view manufacturer, std::string_view name);
// Drops nameless entries, sorts by byte-wise name (stable) and keeps at most kMaxPorts.
std::vector<PortEntry> SortedPortList(std::vector<PortEntry> ports);
// The caption with " (Занят)" after the port's name, before the menu's second column.
std::string BusyPortCaption(std::string_view caption);

// The adapter's facts the caption does not already carry: the manufacturer when the
// description names it, and the serial number, which tells two alike adapters apart.
std::string PortDetails(std::string_view description, std::string_view manufacturer, std::string_view serialNumber);
// A port menu item: the friendly name, then the details in the second column (after a tab).
std::string PortMenuText(const PortEntry& port);

// USB adapters keep a name here however they are re-plugged (udev's by-id links).
inline constexpr char kSerialByIdDir[] = "/dev/serial/by-id";
// The stable path of a port (a link in `byIdDir` that leads to it), or empty when it has none.
std::string StablePortPath(const std::string& portName, const std::string& byIdDir = kSerialByIdDir);
// The name the status bar shows for a stored port: a stable link resolves to today's tty
// ("ttyUSB1"); a plain name, or a link whose adapter is away, stays as it is.
std::string ShortPortName(const std::string& stored, const std::string& byIdDir = kSerialByIdDir);

// The port menu's entries: the system's ports and, when they do not include it, the port in use
// (a pseudo-terminal or a typed path), in the same byte-wise order.
std::vector<PortEntry> WithPortInUse(std::vector<PortEntry> ports, const std::string& inUse);
