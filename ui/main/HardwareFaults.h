#pragma once
// Fault texts and the blinking window title driven by the main window's 500 ms timer.
// Plain functions so the title sequence is tested without widgets.
#include <string>

inline constexpr const char* TitlePrefix = "Ornix Tester ";

std::string HardwareFaultText(int code);
std::string ClockFaultText(int code);   // empty for 0 and codes without a text

// State the timer carries from tick to tick.
struct HdwErrBlink {
    bool Blink = false;
    int EditHoldOff = 0;   // dose window's editing hold-off, in ticks
};

// One timer tick: the caption to show now; flips the blink flag and counts the hold-off down.
std::string HdwErrTick(HdwErrBlink& state, int hdwErrCode, int timeErrCode);

// The message panel's text: the message, and a controller fault beside it, so the fault is also
// read where the tool's other messages are and not only in the blinking title. An "OK" gives way.
std::string MessagePanelText(const std::string& message, int hdwErrCode, int timeErrCode);
