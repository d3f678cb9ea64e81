#pragma once
// The checks of the main window's in-place editor and of the starters other windows call:
// the typed text in, the write operation with the values to stage out, or the message that
// rejects it. Free of widgets, so every rule is tested on its own.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"

// Decimal text to a whole number of 10^-decimals units ("12,5" with 2 gives 1250): digits,
// one separator ("." or ","), blanks skipped; every character after the separator uses up a
// decimal, the rest are cut off. -1 for text without a digit, any other character or a value
// beyond int.
int ParseFixedPoint(const std::string& text, int decimals);

// What an edit leads to. Accepted: `Write` with the values `Stage` puts into the worker (it
// captures them, so it may run later on the worker's thread); `Value` and `Text` are what the
// window keeps for itself (a price, a normalised fuel name). Rejected: the message.
struct EditOutcome {
    std::string Error;
    Op Write = nullptr;
    std::function<void(TComThread&)> Stage;
    uint32_t Value = 0;
    std::string Text;
    bool Accepted() const { return Error.empty() && Write != nullptr; }
};

// The two ends of every check: the message that refuses the value, or the write with the
// values to stage. The channel message is the same in every editor.
inline constexpr char kWrongChannelText[] = "Неправильный номер канала";
EditOutcome RejectedEdit(std::string message);
EditOutcome AcceptedEdit(Op write, std::function<void(TComThread&)> stage, uint32_t value = 0);

// Rows of TRK_StatusListView whose value cell opens the editor.
bool IsEditableTrkRow(int row);
// Rows of ChStatusListView a click acts on, and those of them that open the editor.
bool IsChClickRow(int row);
bool IsEditableChRow(int row);
// Rows of ValveListView that open the editor.
bool IsEditableValveRow(int row);

// The edited row's check; `cell` gives the text of any value cell, the edited one already
// holding the typed text (the flowmeter and valve-controller groups are checked together).
EditOutcome CheckTrkEdit(int row, const std::function<std::string(int row)>& cell);
// `wholeUnitPrices`: prices are typed in whole currency units (KazakhPriceCheckBox).
EditOutcome CheckChEdit(int row, int channel, const std::string& text, bool wholeUnitPrices);
EditOutcome CheckValveEdit(int row, int column, const std::string& text);

// Starter of the colour dialog: both colours the window keeps for the channel.
EditOutcome CheckNozzleColours(int channel, const TMainWindowState& window);
