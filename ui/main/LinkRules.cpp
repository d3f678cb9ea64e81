#include "ui/main/LinkRules.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "commands/AddressChecks.h"
#include "link/PosixSerialLine.h"

std::string BitRatePanelText(int baudRate) {
    return baudRate == kVrxProtocolRate ? "4800 VRX 2.0" : std::to_string(baudRate);
}

std::string AddressPanelText(int baudRate, uint8_t devAddr) {
    return (baudRate == kVrxProtocolRate ? "Пистолет: " : "Адрес: ") + std::to_string(devAddr);
}

bool BitRateChangeIsSent(int baudRate, int newBaudRate) {
    return baudRate != kVrxProtocolRate && newBaudRate != kVrxProtocolRate;
}

int ParseDecimalOr(std::string_view text, int fallback) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const auto end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return (text.empty() || ec != std::errc() || ptr != end) ? fallback : value;
}

std::optional<uint8_t> AcceptedDevAddr(std::string_view text) {
    const int v = ParseDecimalOr(text);
    if (v < 1 || v > 254) return std::nullopt;
    return uint8_t(v);
}

NewAddressCheck CheckNewBusAddress(std::string_view text, int baudRate) {
    const int v = ParseDecimalOr(text);
    return {v, NewBusAddressRefusal(v, baudRate)};
}

int PanelAt(const std::vector<int>& widths, int x) {
    int right = 0;
    for (int i = 0; i < int(widths.size()); ++i) {
        right += widths[i];
        if (x < right) return i;
    }
    return int(widths.size()) - 1;
}

int ProgressPanelWidth(int barWidth, const std::vector<int>& widths, int messageWidth) {
    int used = 0;
    for (int i = 0; i < 3 && i < int(widths.size()); ++i) used += widths[i];
    const int rest = std::max(0, barWidth - used);
    // The progress changes with every exchange and is read in passing; a message is read.
    return std::clamp(rest - messageWidth, rest / 3, rest / 2);
}

std::string FriendlyPortName(std::string_view description, std::string_view manufacturer, std::string_view name) {
    std::string label(description.empty() ? manufacturer : description);
    if (label.empty()) return std::string(name);
    return label + " (" + std::string(name) + ")";
}

std::vector<PortEntry> SortedPortList(std::vector<PortEntry> ports) {
    std::erase_if(ports, [](const PortEntry& p) { return p.name.empty(); });
    // std::string compares bytes as unsigned char, so "ttyS10" comes before "ttyS2".
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortEntry& a, const PortEntry& b) { return a.name < b.name; });
    if (ports.size() > kMaxPorts) ports.resize(kMaxPorts);
    return ports;
}

std::string BusyPortCaption(std::string_view caption) {
    const auto tab = caption.find('\t');
    if (tab == std::string_view::npos) return std::string(caption) + " (Занят)";
    return std::string(caption.substr(0, tab)) + " (Занят)" + std::string(caption.substr(tab));
}

std::string PortDetails(std::string_view description, std::string_view manufacturer, std::string_view serialNumber) {
    std::string details;
    auto add = [&details](std::string_view part) {
        if (part.empty()) return;
        if (!details.empty()) details += ", ";
        details += part;
    };
    // Without a description the manufacturer already is the caption.
    if (!description.empty()) add(manufacturer);
    if (!serialNumber.empty()) add("с/н " + std::string(serialNumber));
    return details;
}

std::string PortMenuText(const PortEntry& port) {
    return port.details.empty() ? port.friendlyName : port.friendlyName + "\t" + port.details;
}

namespace {

// The file a path leads to once every link is followed; empty when it leads nowhere.
std::string Resolved(const std::string& path) {
    std::error_code ec;
    const auto real = std::filesystem::canonical(path, ec);
    return ec ? std::string() : real.string();
}

}  // namespace

std::string StablePortPath(const std::string& portName, const std::string& byIdDir) {
    const std::string device = Resolved(SerialDevicePath(portName));
    if (device.empty()) return {};
    std::error_code ec;
    std::vector<std::string> links;
    for (const auto& entry : std::filesystem::directory_iterator(byIdDir, ec))
        if (entry.is_symlink(ec) && Resolved(entry.path().string()) == device) links.push_back(entry.path().string());
    // An adapter with several links (one per interface) is always remembered by the same one.
    std::sort(links.begin(), links.end());
    return links.empty() ? std::string() : links.front();
}

std::string ShortPortName(const std::string& stored, const std::string& byIdDir) {
    const std::string prefix = byIdDir + "/";
    if (stored.rfind(prefix, 0) != 0) return stored;
    const std::string device = Resolved(stored);
    if (device.empty()) return stored;
    return device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
}

std::vector<PortEntry> WithPortInUse(std::vector<PortEntry> ports, const std::string& inUse) {
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const PortEntry& p) { return p.name == inUse; });
    if (!inUse.empty() && !listed) ports.push_back({inUse, inUse});
    return SortedPortList(std::move(ports));
}
