#include "ui/main/ButtonRules.h"

JobAction PollButtonAction(bool down, bool workerRunning) {
    if (down && !workerRunning) return JobAction::Start;
    if (!down && workerRunning) return JobAction::Stop;
    return JobAction::None;
}

JobAction StopOrStartAction(bool workerRunning) {
    return workerRunning ? JobAction::Stop : JobAction::Start;
}

JobAction StartWhenIdleAction(bool workerRunning) {
    return workerRunning ? JobAction::None : JobAction::Start;
}

std::array<bool, 3> WindowGroupAfter(std::array<bool, 3> states, int pressed, bool down) {
    if (pressed < 0 || pressed >= int(states.size())) return states;
    if (down) states.fill(false);
    states[std::size_t(pressed)] = down;
    return states;
}
