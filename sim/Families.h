#pragma once
// The families of simulated commands. Each family defines its SimFamily in its own file
// and is declared here once.
#include <span>

#include "sim/SimConfig.h"
#include "sim/SimFamily.h"

extern const SimFamily IdentityFamily;  // commands 0, 34, 145
extern const SimFamily ClockFamily;     // commands 8, 9, 10
extern const SimFamily FlowmeterFamily;   // commands 229, 230, 231
extern const SimFamily PeripheralFamily;  // commands 232, 89
extern const SimFamily StatusFamily;         // commands 209 (sub-codes 1, 2, 3), 215 (1, 2)
extern const SimFamily ConfigFamily;         // commands 211, 210
extern const SimFamily CounterFamily;        // commands 208, 209 (no parameters), 249, 252; fills pour
extern const SimFamily ParameterFamily;      // commands 214/215, 218..224, 226, 250/251, 34 (nozzle)
extern const SimFamily SubControllerFamily;  // 223/222 on the sub-controller boards at ±64
extern const SimFamily ServiceFamily;        // commands 228 (sub-codes 5..8), 141; frame memory
extern const SimFamily RemoteInitFamily;     // 228/10, 228/11
extern const SimFamily TabloTestFamily;      // command 214 without parameters and with a test frame
extern const SimFamily DoseFamily;           // commands 200..207: doses, block, prices
// Add the declaration of a new family here.

// Every family, in the order their rows are looked up.
std::span<const SimFamily* const> AllFamilies();
