#pragma once
// The manual display-board test without widgets: the picture of a price board (digits,
// segments, decimal points, the ring of ten indicators) laid out in design units and scaled
// to the window, what a click hits, and the keyboard's sequence of test patterns.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/DeviceState.h"

// 28 segment bytes (bit 0 top, 1 upper right, 2 lower right, 3 bottom, 4 lower left,
// 5 upper left, 6 middle, 7 decimal point), then the indicator word, low byte first.
using TabloTestFrame = std::array<uint8_t, kTabloTestFrameSize>;
constexpr int kTabloSegmentBytes = 28;
constexpr int kTabloIndicatorCount = 10;
constexpr int kNoTestStep = -1;
constexpr int kLastTestStep = 39;

// The step after an arrow key: Right walks 0..39 and wraps, Left walks back; from "no step"
// Right begins at 0 and Left at 39.
int NextTestStep(int step, bool right);
// The frame a step shows: 0..7 one segment of every digit, 8..37 one whole byte, 38 nothing,
// 39 everything. Any other step shows nothing.
TabloTestFrame FrameOfStep(int step);

// Pixels per design unit for a drawing area of width x height pixels.
double TabloScale(int width, int height);

struct PixelPoint {
    int x = 0, y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// One thing that lights: a segment, a decimal point or an indicator, and the frame bit
// that lights it.
struct TabloLamp {
    int byte = 0;  // 0..29
    int bit = 0;   // 0..7
    bool circle = false;
    std::vector<PixelPoint> corners;  // polygon; empty for a circle
    PixelPoint centre;                // circle only
    int radius = 0;                   // circle only
};

// Everything drawn at scale `s`, digits in frame order, then the indicators.
std::vector<TabloLamp> TabloPicture(double s);

// The frame bits (byte, bit) a click at pixel p toggles at scale `s`: in every digit the first
// segment whose box holds p (decimal points count even where none is drawn), and the ring's
// sector when p lies between its inner and outer radius.
struct FrameBit {
    int byte = 0, bit = 0;
    bool operator==(const FrameBit&) const = default;
};
std::vector<FrameBit> HitTabloBits(double s, PixelPoint p);

// Toggles what a click hits; true when anything changed.
bool ToggleAt(TabloTestFrame& frame, double s, PixelPoint p);

inline bool LampLit(const TabloTestFrame& frame, const TabloLamp& lamp) {
    return (frame[size_t(lamp.byte)] >> lamp.bit & 1) != 0;
}
