// The one list of simulated command families.
//
// How a family adds itself: write sim/<Name>Handlers.cpp that includes "sim/Families.h" and
// defines `const SimFamily <Name>Family{"name", rows, options, tick};` with a static table of
// SimHandlerRow (and, if it needs them, SimOptionRow and a Tick hook); declare it in
// sim/Families.h and add one line with its address to the list below. Its state goes into a
// section of its own at the end of ControllerState. Nothing else needs to change: the
// dispatcher, the option parser and --help read this list. (A central list rather than
// self-registration, because unreferenced objects of a static library are not linked in.)
#include "sim/Families.h"

namespace {
const SimFamily* const kFamilies[] = {
    &IdentityFamily,
    &ClockFamily,
    &FlowmeterFamily,
    &PeripheralFamily,
    &StatusFamily,
    &ConfigFamily,
    &CounterFamily,
    &ParameterFamily,
    &SubControllerFamily,
    &ServiceFamily,
    &DoseFamily,
    &TabloTestFamily,
    &RemoteInitFamily,
    // add your family here
};
}  // namespace

std::span<const SimFamily* const> AllFamilies() { return kFamilies; }
