#include "ui/dialogs/TabloTestPicture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The picture is designed on an area of this many units; the window scales it to fit.
constexpr double kDesignWidth = 19100, kDesignHeight = 16200;
constexpr double kX0 = 1231, kY0 = 830;  // margin of the digits

struct DesignPoint {
    double x, y;
};

struct Digit {
    DesignPoint origin;
    double size;      // of a big digit
    bool pointDrawn;  // boards without a decimal point there still carry its bit
};

constexpr double kMidSize = 0.75, kSmallSize = 0.27512751;

constexpr std::array<Digit, kTabloSegmentBytes> MakeDigits() {
    std::array<Digit, kTabloSegmentBytes> d{};
    for (int j = 0; j < 7; ++j) {
        const bool point = j >= 3 && j <= 5;
        d[size_t(j)] = {{kX0 + 2612 * j, kY0}, 1, point};
        d[size_t(7 + j)] = {{kX0 + 2612 * j, kY0 + 4240}, 1, point};
    }
    d[14] = {{kX0 + 5224, kY0 + 8480}, 1, false};
    d[15] = {{kX0 + 7836, kY0 + 8480}, 1, false};
    d[16] = {{kX0 + 10448, kY0 + 8480}, 1, true};
    d[17] = {{kX0 + 12993, kY0 + 9270}, kMidSize, false};
    d[18] = {{kX0 + 14982, kY0 + 9270}, kMidSize, false};
    for (int k = 0; k < 9; ++k) d[size_t(19 + k)] = {{kX0 + 10756 + 758 * k, kY0 + 13330}, kSmallSize, k >= 5 && k <= 7};
    return d;
}
constexpr auto kDigits = MakeDigits();

enum class Shape { Horizontal, Vertical, Point };
constexpr int kPointBit = 7;
constexpr double kPointRadius = 175;

struct Segment {
    DesignPoint anchor;  // from the digit's origin, in units of a big digit
    Shape shape;
};
constexpr std::array<Segment, 8> kSegments = {{
    {{0, 0}, Shape::Horizontal},
    {{1445, 55}, Shape::Vertical},
    {{1233, 1550}, Shape::Vertical},
    {{-422, 2990}, Shape::Horizontal},
    {{-274, 1551}, Shape::Vertical},
    {{-55, 61}, Shape::Vertical},
    {{-212, 1495}, Shape::Horizontal},
    {{1608, 2991}, Shape::Point},
}};

// Corners with y upwards, as the shapes were drawn.
constexpr std::array<DesignPoint, 6> kHorizontal = {{{0, 0}, {203, 175}, {1248, 175}, {1400, 0}, {1199, -175}, {152, -175}}};
constexpr std::array<DesignPoint, 6> kVertical = {{{0, 0}, {152, -175}, {7, -1210}, {-195, -1386}, {-347, -1211}, {-201, -175}}};

// Hit boxes with y downwards: left, top, right, bottom.
struct Box {
    double left, top, right, bottom;
};
constexpr Box BoxOf(Shape shape) {
    switch (shape) {
    case Shape::Horizontal: return {0, -175, 1400, 175};
    case Shape::Vertical: return {-347, 0, 152, 1386};
    case Shape::Point: break;
    }
    return {-kPointRadius, -kPointRadius, kPointRadius, kPointRadius};
}

constexpr DesignPoint kRingCentre = {2792, 10861};
constexpr double kRingInner = 958, kRingOuter = 1936;
constexpr std::array<std::array<DesignPoint, 4>, kTabloIndicatorCount> kIndicators = {{
    {{{27, -1936}, {27, -958}, {541, -791}, {1116, -1582}}},
    {{{1160, -1550}, {585, -759}, {903, -322}, {1833, -624}}},
    {{{1849, -573}, {919, -270}, {919, 270}, {1849, 573}}},
    {{{1160, 1550}, {585, 759}, {903, 322}, {1833, 624}}},
    {{{27, 1936}, {27, 958}, {541, 791}, {1116, 1582}}},
    {{{-27, 1936}, {-27, 958}, {-541, 791}, {-1116, 1582}}},
    {{{-1160, 1550}, {-585, 759}, {-903, 322}, {-1833, 624}}},
    {{{-1849, -573}, {-919, -270}, {-919, 270}, {-1849, 573}}},
    {{{-1160, -1550}, {-585, -759}, {-903, -322}, {-1833, -624}}},
    {{{-27, -1936}, {-27, -958}, {-541, -791}, {-1116, -1582}}},
}};

// Every conversion to pixels truncates toward zero.
int Px(double design, double s) { return int(design * s); }
PixelPoint Px(DesignPoint p, double s) { return {Px(p.x, s), Px(p.y, s)}; }

DesignPoint AnchorOf(const Digit& digit, const Segment& segment) {
    return {digit.origin.x + segment.anchor.x * digit.size, digit.origin.y + segment.anchor.y * digit.size};
}

FrameBit IndicatorBit(int n) { return {kTabloSegmentBytes + n / 8, n % 8}; }

}  // namespace

int NextTestStep(int step, bool right) {
    if (right) return step < 0 || step >= kLastTestStep ? 0 : step + 1;
    return step <= 0 ? kLastTestStep : step - 1;
}

TabloTestFrame FrameOfStep(int step) {
    TabloTestFrame frame{};
    constexpr int kFirstByteStep = 8, kBlankStep = 38;
    if (step >= 0 && step < kFirstByteStep) frame.fill(uint8_t(1u << step));
    else if (step >= kFirstByteStep && step < kBlankStep) frame[size_t(step - kFirstByteStep)] = 0xFF;
    else if (step == kLastTestStep) frame.fill(0xFF);
    return frame;
}

double TabloScale(int width, int height) {
    return std::max(0.0, std::min(width / kDesignWidth, height / kDesignHeight));
}

std::vector<TabloLamp> TabloPicture(double s) {
    std::vector<TabloLamp> lamps;
    for (int byte = 0; byte < kTabloSegmentBytes; ++byte) {
        const Digit& digit = kDigits[size_t(byte)];
        for (int bit = 0; bit < 8; ++bit) {
            const Segment& segment = kSegments[size_t(bit)];
            const DesignPoint anchor = AnchorOf(digit, segment);
            TabloLamp lamp;
            lamp.byte = byte;
            lamp.bit = bit;
            if (segment.shape == Shape::Point) {
                if (!digit.pointDrawn) continue;
                lamp.circle = true;
                lamp.centre = Px(anchor, s);
                lamp.radius = Px(kPointRadius * digit.size, s);
            } else {
                for (DesignPoint c : segment.shape == Shape::Horizontal ? kHorizontal : kVertical)
                    lamp.corners.push_back(Px({anchor.x + c.x * digit.size, anchor.y - c.y * digit.size}, s));
            }
            lamps.push_back(std::move(lamp));
        }
    }
    for (int n = 0; n < kTabloIndicatorCount; ++n) {
        const FrameBit bit = IndicatorBit(n);
        TabloLamp lamp;
        lamp.byte = bit.byte;
        lamp.bit = bit.bit;
        for (DesignPoint c : kIndicators[size_t(n)])
            lamp.corners.push_back(Px({kRingCentre.x + c.x, kRingCentre.y + c.y}, s));
        lamps.push_back(std::move(lamp));
    }
    return lamps;
}

std::vector<FrameBit> HitTabloBits(double s, PixelPoint p) {
    std::vector<FrameBit> hits;
    for (int byte = 0; byte < kTabloSegmentBytes; ++byte) {
        const Digit& digit = kDigits[size_t(byte)];
        for (int bit = 0; bit < 8; ++bit) {
            const DesignPoint anchor = AnchorOf(digit, kSegments[size_t(bit)]);
            const Box box = BoxOf(kSegments[size_t(bit)].shape);
            const bool inside = p.x >= Px(anchor.x + box.left * digit.size, s) &&
                                p.x <= Px(anchor.x + box.right * digit.size, s) &&
                                p.y >= Px(anchor.y + box.top * digit.size, s) &&
                                p.y <= Px(anchor.y + box.bottom * digit.size, s);
            if (inside) {
                hits.push_back({byte, bit});
                break;
            }
        }
    }
    const PixelPoint centre = Px(kRingCentre, s);
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    const int d = int(std::hypot(dx, dy));
    if (d >= Px(kRingInner, s) && d <= Px(kRingOuter, s) && d > 0) {
        // Sectors of 36 degrees, clockwise from twelve o'clock; y grows downwards.
        double degrees = std::atan2(dx, -dy) * 180 / std::numbers::pi;
        if (degrees < 0) degrees += 360;
        hits.push_back(IndicatorBit(int(degrees / 36) % kTabloIndicatorCount));
    }
    return hits;
}

bool ToggleAt(TabloTestFrame& frame, double s, PixelPoint p) {
    const std::vector<FrameBit> hits = HitTabloBits(s, p);
    for (const FrameBit& h : hits) frame[size_t(h.byte)] ^= uint8_t(1u << h.bit);
    return !hits.empty();
}
