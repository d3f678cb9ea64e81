#pragma once
// The configuration window's controls as KEY=VALUE for scripts: every control one key, the
// value as the window shows it ("1".."15" for an output, "1+2" for a hose set, 0 or 1 for a
// check box). Per-channel keys carry the channel from 1: "pumpOut.3", "board.2.4".
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ConfigControls.h"

// Every key with its value, in the window's order. A control without a selection shows "".
std::vector<std::pair<std::string, std::string>> ConfigKeyValues(const TrkCfgControls& controls);

// Applies one "KEY=VALUE"; returns the message when it is refused (nothing applied), else "".
std::string ApplyConfigSetting(TrkCfgControls& controls, std::string_view setting);
