#include "ui/main/WindowLayout.h"

#include "ui/main/LinkRules.h"

namespace {

constexpr std::string_view kGeometryKey = "Geometry";
constexpr std::string_view kSplitterKey = "Splitter";
constexpr std::string_view kTrkColumnsKey = "TrkColumns";
constexpr std::string_view kChColumnsKey = "ChColumns";
constexpr std::string_view kValveColumnsKey = "ValveColumns";
constexpr int kMaxWidth = 100000;

}  // namespace

std::string JoinWidths(const std::vector<int>& widths) {
    std::string text;
    for (int w : widths) text += (text.empty() ? "" : ",") + std::to_string(w);
    return text;
}

std::vector<int> ParseWidths(std::string_view text) {
    std::vector<int> widths;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const int w = ParseDecimalOr(text.substr(0, comma));
        // A hand-edited or damaged value must not make a column vanish or the window huge.
        if (w < 1 || w > kMaxWidth) return {};
        widths.push_back(w);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (text.empty()) return {};
    }
    return widths;
}

WindowLayout LoadWindowLayout(const SettingsFile& file) {
    WindowLayout l;
    l.geometry = file.ReadString(kWindowSection, kGeometryKey, "");
    l.splitter = ParseWidths(file.ReadString(kWindowSection, kSplitterKey, ""));
    l.trkColumns = ParseWidths(file.ReadString(kWindowSection, kTrkColumnsKey, ""));
    l.chColumns = ParseWidths(file.ReadString(kWindowSection, kChColumnsKey, ""));
    l.valveColumns = ParseWidths(file.ReadString(kWindowSection, kValveColumnsKey, ""));
    return l;
}

bool SaveWindowLayout(SettingsFile& file, const WindowLayout& l) {
    bool ok = file.WriteString(kWindowSection, kGeometryKey, l.geometry);
    ok = file.WriteString(kWindowSection, kSplitterKey, JoinWidths(l.splitter)) && ok;
    ok = file.WriteString(kWindowSection, kTrkColumnsKey, JoinWidths(l.trkColumns)) && ok;
    ok = file.WriteString(kWindowSection, kChColumnsKey, JoinWidths(l.chColumns)) && ok;
    return file.WriteString(kWindowSection, kValveColumnsKey, JoinWidths(l.valveColumns)) && ok;
}

std::vector<int> FittedColumnWidths(const std::vector<int>& preferred, int firstValue, int available) {
    std::vector<int> widths = preferred;
    int used = 0;
    for (int w : preferred) used += w;
    const int values = int(preferred.size()) - firstValue;
    if (firstValue < 0 || values <= 0 || available <= used) return widths;
    const int extra = available - used;
    for (int i = 0; i < values; ++i) widths[size_t(firstValue + i)] += extra / values + (i < extra % values ? 1 : 0);
    return widths;
}
