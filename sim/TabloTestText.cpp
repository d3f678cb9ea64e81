// The display-board pictures of the simulator's -v log: seven-segment digits drawn with
// three lines of text each, so a test frame reads as the board would show it.
#include <cstdio>

#include "sim/TabloTestState.h"

namespace {

constexpr int kSegmentBytes = 28, kIndicators = 10;

bool Lit(uint8_t byte, int bit) { return (byte >> bit & 1) != 0; }

// Appends one digit, four characters wide (the fourth holds the decimal point), to three lines.
void DrawDigit(uint8_t b, std::string (&lines)[3]) {
    lines[0] += Lit(b, 0) ? " _  " : "    ";
    lines[1] += std::string(Lit(b, 5) ? "|" : " ") + (Lit(b, 6) ? "_" : " ") + (Lit(b, 1) ? "|" : " ") + " ";
    lines[2] += std::string(Lit(b, 4) ? "|" : " ") + (Lit(b, 3) ? "_" : " ") + (Lit(b, 2) ? "|" : " ") +
                (Lit(b, 7) ? "." : " ");
}

// Two groups of digits side by side: bytes [a, a + n) and [b, b + m).
void DrawGroups(const uint8_t* frame, int a, int n, int b, int m, std::vector<std::string>& out) {
    std::string lines[3];
    for (int i = a; i < a + n; ++i) DrawDigit(frame[i], lines);
    for (std::string& l : lines) l += "   ";
    for (int i = b; i < b + m; ++i) DrawDigit(frame[i], lines);
    for (std::string& l : lines) out.push_back("  " + l);
}

}  // namespace

std::vector<std::string> TestFrameLines(const std::array<uint8_t, kSimTestFrameSize>& frame) {
    std::vector<std::string> out{"display-board test frame (rows 1 and 2; singles and small digits):"};
    DrawGroups(frame.data(), 0, 7, 7, 7, out);
    DrawGroups(frame.data(), 14, 5, 19, 9, out);
    const unsigned word = frame[kSegmentBytes] | frame[kSegmentBytes + 1] << 8;
    std::string ring = "  ring indicators lit:";
    for (int n = 0; n < kIndicators; ++n)
        if (word >> n & 1) ring += " " + std::to_string(n);
    char tail[32];
    std::snprintf(tail, sizeof tail, " (word 0x%04X)", word);
    out.push_back(ring + tail);
    return out;
}

std::vector<std::string> DisplayDeviceLines(const SimStatusState& status) {
    std::vector<std::string> out{"display devices:"};
    for (int n = 0; n < kSimDisplayDevices; ++n) {
        const SimDisplayDevice& d = status.Displays[size_t(n)];
        char line[160];
        const auto& c = d.ColourCorrection;
        if (n < kSimDisplayBoards)
            std::snprintf(line, sizeof line,
                          "  board %d: type %d, %d C, offset %d, colour coefficients %d %d %d, offsets %d %d %d", n + 1,
                          d.Type, d.Temperature, d.TempOffset, c[0], c[1], c[2], c[3], c[4], c[5]);
        else
            std::snprintf(line, sizeof line, "  keyboard %d: type %d, %d C, offset %d", n + 1, d.Type, d.Temperature,
                          d.TempOffset);
        out.push_back(line);
    }
    return out;
}
