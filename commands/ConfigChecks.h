#pragma once
// Conflict checks of the channel layout of a configuration to write: the configuration window
// colours what they mark and holds its write button, the command line refuses the write.
#include <array>
#include <string>

#include "engine/ConfigControls.h"

using ChannelItems = std::array<int, CfgChannels>;  // a combo's item index per channel row
using ChannelMarks = std::array<bool, CfgChannels>; // red per channel row

// Hose sets: two active channels may not share a hose, and an active channel needs a set.
struct HoseSetCheck {
    bool CountValid = false;    // NumberOfChannelsCombo normal, else red
    bool Applies = false;       // false: hose combos and the write button keep their state
    ChannelMarks Red{};
    bool WriteEnabled = false;
};
HoseSetCheck CheckHoseSets(int channelCountIndex, const ChannelItems& hoseSet);

// Power outputs: no output drives two things, but channels may share a pump output.
struct PowerOutputCheck {
    bool CountValid = false;
    bool Recolour = false;      // false: the output combos keep their colours
    ChannelMarks SmallRed{}, LargeRed{}, PumpRed{};
    bool WriteEnabled = false;
};
PowerOutputCheck CheckPowerOutputs(int channelCountIndex, const ChannelItems& smallValve,
                                   const ChannelItems& largeValve, const ChannelItems& pump);

// Empty when the layout may be written; else what is in conflict, for a refusal.
std::string ConfigConflictText(const TrkCfgControls& controls);

// Both checks over the whole layout at once: after any change the window colours every
// conflict, not only those of the check the changed combo belongs to.
struct LayoutCheck {
    bool CountValid = false;   // NumberOfChannelsCombo normal, else red (the rest keep their colours)
    ChannelMarks HoseRed{}, SmallRed{}, LargeRed{}, PumpRed{};
    bool Free = false;         // nothing marked anywhere: ConfigConflictText is empty
};
LayoutCheck CheckLayout(const TrkCfgControls& controls);

// Why the configuration window may not write now, or empty. What it shows must have come from
// the controller it talks to (`readHere`): a window that never read one would otherwise write
// its defaults over the whole page.
std::string ConfigWriteRefusal(bool readHere, const TrkCfgControls& controls);
