#pragma once
// What the main window remembers of its own layout between runs, in the settings file's
// section "Window" (the link settings of "Port" stay untouched), and how a view's value
// columns share room the designed widths leave over.
#include <string>
#include <string_view>
#include <vector>

#include "ui/main/SettingsFile.h"

inline constexpr std::string_view kWindowSection = "Window";

struct WindowLayout {
    std::string geometry;                 // the window system's own record, base64
    std::vector<int> splitter;            // widths left and right of the splitter
    std::vector<int> trkColumns, chColumns, valveColumns;  // widths the engineer set or kept
    bool operator==(const WindowLayout&) const = default;
};

WindowLayout LoadWindowLayout(const SettingsFile& file);
bool SaveWindowLayout(SettingsFile& file, const WindowLayout& layout);

// "220,110"; and back, with nothing for text that is not such a list of positive widths.
std::string JoinWidths(const std::vector<int>& widths);
std::vector<int> ParseWidths(std::string_view text);

// Column widths for a view `available` pixels wide: the preferred widths, and when they
// leave room over, the value columns (from `firstValue` on) share it evenly.
std::vector<int> FittedColumnWidths(const std::vector<int>& preferred, int firstValue, int available);
