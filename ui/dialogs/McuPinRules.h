#pragma once
// Rules of the pin test window, free of widgets: which package pin each test index is, what a
// result says in words, how each pin is coloured, where it is drawn, how wide the list is.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kTestedPins = 76;
constexpr int kPackagePins = 100;
using PinTestResult = std::array<uint8_t, kTestedPins>;

constexpr uint8_t kPinNoFault = 255;
constexpr uint8_t kPinToGround = 254;
constexpr uint8_t kPinToSupply = 253;

// Package pin (1..100) of a test index 0..75; 0 for any other index.
int PinOfTestIndex(int index);
// Test index of a package pin, or the pin's mark: 253 supply, 254 ground, 255 not tested.
// Pins outside 1..100 are not tested.
uint8_t PackageEntry(int pin);

// The list box lines for a result; "Ошибок не найдено" when every byte is 255.
std::vector<std::string> PinFaultLines(const PinTestResult& result);

enum class PinColour { ButtonFace, Red, Black, Blue };
PinColour PinColourOf(int pin, const PinTestResult& result);

// Where pin n is drawn for a client height: its square (x0, y0 inclusive, x1, y1 exclusive) and
// the side it sits on, which decides where its number goes.
enum class PinSide { Left, Bottom, Right, Top };
struct PinPlace {
    int x0, y0, x1, y1;
    PinSide side;
};
struct PackageBody {
    int left, top, right, bottom;  // as drawn: right and bottom exclusive
    int pinSize;
};
PackageBody BodyFor(int clientHeight);
PinPlace PlaceOfPin(int pin, const PackageBody& body);
// Top-left corner of the number of a pin, for a text of the given size.
std::array<int, 2> LabelOrigin(const PinPlace& place, int textWidth, int textHeight);

// Where the number of a pin is written, for a text of the given size. The numbers along the top
// and bottom stand upright (read from below), so that three-digit numbers of neighbouring pins
// do not run together: the box is then as wide as the text is high.
struct LabelBox {
    int x, y, width, height;
    bool upright;
};
LabelBox PinLabelBox(const PinPlace& place, int textWidth, int textHeight);

// Width of ErrorListBox for a form of this size.
int ErrorListWidth(int formWidth, int formHeight);
