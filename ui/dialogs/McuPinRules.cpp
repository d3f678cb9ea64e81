#include "ui/dialogs/McuPinRules.h"

#include <algorithm>

namespace {

// Pins tied to ground and to the 3 V supply: never tested, drawn in the power colours except
// pins 74 and 73, which the picture leaves plain.
constexpr int kGroundPins[] = {4, 14, 24, 34, 44, 54, 64, 74, 83, 94};
constexpr int kSupplyPins[] = {3, 13, 23, 33, 43, 53, 63, 73, 84, 93};
constexpr int kRedPins[] = {4, 14, 24, 34, 44, 54, 64, 83, 94};
constexpr int kBlackPins[] = {3, 13, 23, 33, 43, 53, 63, 84, 93};
constexpr int kLabelGap = 4;

template <size_t N>
bool In(const int (&list)[N], int pin) {
    return std::find(std::begin(list), std::end(list), pin) != std::end(list);
}

std::string PinText(int pin) { return std::to_string(pin); }

// Pin number -> test index or mark, built once from the pin table.
std::array<uint8_t, kPackagePins + 1> BuildPackageTable() {
    std::array<uint8_t, kPackagePins + 1> table{};
    table.fill(kPinNoFault);
    for (int pin : kGroundPins) table[size_t(pin)] = kPinToGround;
    for (int pin : kSupplyPins) table[size_t(pin)] = kPinToSupply;
    for (int i = 0; i < kTestedPins; ++i) table[size_t(PinOfTestIndex(i))] = uint8_t(i);
    return table;
}

}  // namespace

int PinOfTestIndex(int index) {
    if (index < 0 || index >= kTestedPins) return 0;
    if (index <= 5) return 95 + index;
    if (index <= 7) return index - 5;  // 6 -> 1, 7 -> 2
    if (index <= 71) {
        const int group = (index - 8) / 8;
        return 5 + 10 * group + (index - 8) % 8;
    }
    return 85 + (index - 72);
}

uint8_t PackageEntry(int pin) {
    static const auto table = BuildPackageTable();
    return pin >= 1 && pin <= kPackagePins ? table[size_t(pin)] : kPinNoFault;
}

std::vector<std::string> PinFaultLines(const PinTestResult& result) {
    std::vector<std::string> lines;
    for (int i = 0; i < kTestedPins; ++i) {
        const uint8_t c = result[size_t(i)];
        const std::string head = "Нога " + PinText(PinOfTestIndex(i)) + " замкнута на ";
        if (c == kPinToGround) lines.push_back(head + "GND");
        else if (c == kPinToSupply) lines.push_back(head + "+3V");
        else if (c < kTestedPins) lines.push_back(head + "ногу " + PinText(PinOfTestIndex(c)));
    }
    if (std::all_of(result.begin(), result.end(), [](uint8_t c) { return c == kPinNoFault; }))
        lines.push_back("Ошибок не найдено");
    return lines;
}

PinColour PinColourOf(int pin, const PinTestResult& result) {
    if (In(kRedPins, pin)) return PinColour::Red;
    if (In(kBlackPins, pin)) return PinColour::Black;
    const uint8_t t = PackageEntry(pin);
    if (t >= kTestedPins) return PinColour::ButtonFace;
    const bool faulty = result[t] != kPinNoFault || std::find(result.begin(), result.end(), t) != result.end();
    return faulty ? PinColour::Blue : PinColour::ButtonFace;
}

PackageBody BodyFor(int clientHeight) {
    const int u = clientHeight / 24;
    // Drawn from (u, u) to (23u + 1, 23u + 1); the pins then use edges one pixel in.
    return {u, u, 23 * u, 23 * u, 22 * u / 55};
}

PinPlace PlaceOfPin(int pin, const PackageBody& b) {
    const int p = b.pinSize;
    const int k = (pin - 1) % 25;
    switch ((pin - 1) / 25) {
    case 0: return {b.left - p, b.top + (2 * k + 3) * p, b.left + 1, b.top + (2 * k + 4) * p, PinSide::Left};
    case 1: return {b.left + (2 * k + 3) * p, b.bottom, b.left + (2 * k + 4) * p, b.bottom + p, PinSide::Bottom};
    case 2: return {b.right, b.bottom - (2 * k + 4) * p, b.right + p, b.bottom - (2 * k + 3) * p, PinSide::Right};
    default: return {b.right - (2 * k + 4) * p, b.top - p, b.right - (2 * k + 3) * p, b.top + 1, PinSide::Top};
    }
}

std::array<int, 2> LabelOrigin(const PinPlace& s, int textWidth, int textHeight) {
    // Middles taken as integers, each half on its own.
    const int midX = s.x0 + (s.x1 - s.x0) / 2, midY = s.y0 + (s.y1 - s.y0) / 2;
    switch (s.side) {
    case PinSide::Left: return {s.x1 + kLabelGap, midY - textHeight / 2};
    case PinSide::Bottom: return {midX - textWidth / 2, s.y0 - kLabelGap - textHeight};
    case PinSide::Right: return {s.x0 - kLabelGap - textWidth, midY - textHeight / 2};
    case PinSide::Top: return {midX - textWidth / 2, s.y1 + kLabelGap};
    }
    return {s.x0, s.y0};
}

LabelBox PinLabelBox(const PinPlace& s, int textWidth, int textHeight) {
    if (s.side == PinSide::Left || s.side == PinSide::Right) {
        const auto [x, y] = LabelOrigin(s, textWidth, textHeight);
        return {x, y, textWidth, textHeight, false};
    }
    const int midX = s.x0 + (s.x1 - s.x0) / 2;
    const int y = s.side == PinSide::Bottom ? s.y0 - kLabelGap - textWidth : s.y1 + kLabelGap;
    return {midX - textHeight / 2, y, textHeight, textWidth, true};
}

int ErrorListWidth(int formWidth, int formHeight) {
    constexpr int kNarrowest = 100;
    return formWidth < formHeight + kNarrowest ? kNarrowest : formWidth - formHeight;
}
