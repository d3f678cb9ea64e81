#pragma once
// What the main window's job buttons do, given the button state and whether a worker runs.
#include <array>
#include <cstddef>

enum class JobAction { None, Start, Stop };

// PollButton toggles by itself: down with no worker starts polling, up with a worker stops it.
JobAction PollButtonAction(bool down, bool workerRunning);
// SellTestButton and ReadMemButton stop whatever runs, else start their job.
JobAction StopOrStartAction(bool workerRunning);
// ClrMemButton only starts, and only when nothing runs.
JobAction StartWhenIdleAction(bool workerRunning);

// The window toggles (dose, flowmeter, display board): at most one down, all may be up.
// Returns the new states after the user set button `pressed` to `down`.
std::array<bool, 3> WindowGroupAfter(std::array<bool, 3> states, int pressed, bool down);
