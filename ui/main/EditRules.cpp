#include "ui/main/EditRules.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

#include "commands/DoseCommands.h"
#include "commands/NumberText.h"
#include "commands/ParameterCommands.h"
#include "commands/ParameterLayout.h"
#include "commands/PeripheralCommands.h"
#include "commands/WriteRules.h"
#include "link/FuelNameCodes.h"

EditOutcome RejectedEdit(std::string message) {
    EditOutcome outcome;
    outcome.Error = std::move(message);
    return outcome;
}

EditOutcome AcceptedEdit(Op write, std::function<void(TComThread&)> stage, uint32_t value) {
    EditOutcome outcome;
    outcome.Write = write;
    outcome.Stage = std::move(stage);
    outcome.Value = value;
    return outcome;
}

namespace {

// A decimal integer; text that is not one counts as `fallback`.
long long Integer(const std::string& text, long long fallback = -1) {
    return ParseWholeNumber(text).value_or(fallback);
}

// A decimal fraction scaled to whole units of 10^-decimals, cut toward zero; -1 when the text
// is no number. Read exactly, so 0,7 s is 7 tenths, not the 6 a binary float would leave.
long long Scaled(const std::string& text, int decimals) {
    if (text.find_first_not_of(' ') == std::string::npos) return -1;
    return ParseFixedPoint(text, decimals);
}

// ---- TRK_StatusListView

enum class Reading { Integer, Tenths, Thousandths };

struct RangeRule {
    int row;
    Reading reading;
    const ValueRule& range;
};

long long Read(const RangeRule& rule, const std::string& text) {
    switch (rule.reading) {
        case Reading::Tenths: return Scaled(text, 1);
        case Reading::Thousandths: return Scaled(text, 3);
        default: return Integer(text);
    }
}

constexpr int kFlowmeterTimeoutRow = 12, kFlowmeterFirstRow = 13, kFlowmeterLastRow = 23;
constexpr int kValveFirstRow = 32, kValveLastRow = 34;

// How each row of the flowmeter group (12..23) is typed; its range is the shared one.
constexpr Reading kFlowmeterReadings[] = {
    Reading::Integer, Reading::Tenths,  Reading::Integer, Reading::Integer, Reading::Integer, Reading::Integer,
    Reading::Integer, Reading::Integer, Reading::Integer, Reading::Thousandths, Reading::Integer, Reading::Integer,
};

// Rows edited on their own: row, reading, range, message, writer, where the value goes.
struct SingleRule {
    RangeRule range;
    Op write;
    void (*stage)(TComThread& w, uint32_t value);
};
const SingleRule kSingleRules[] = {
    {{10, Reading::Integer, WriteRule::TabloCutOff}, WriteTabloCutOff,
     [](TComThread& w, uint32_t v) { w.TabloCutOff = v; }},
    // Sent in whole tens of milliseconds.
    {{11, Reading::Integer, WriteRule::TabloTestStep}, WriteTabloTestStepTime,
     [](TComThread& w, uint32_t v) { w.TabloTestStep = v / 10; }},
    {{12, Reading::Integer, FlowmeterGroupRules()[0]}, WriteFlowmeterTimeout,
     [](TComThread& w, uint32_t v) { w.FlowmeterTimeout = v; }},
    {{24, Reading::Integer, WriteRule::SoundGenAddress}, WriteSoundGenAddress,
     [](TComThread& w, uint32_t v) { w.SoundGenAddressToWrite = uint8_t(v); }},
    {{26, Reading::Integer, WriteRule::SoundGenVolume}, WriteSoundGenVolume,
     [](TComThread& w, uint32_t v) { w.SoundGenVolumeToWrite = uint8_t(v); }},
};

// A value within its rule's range, or nothing.
std::optional<uint32_t> InRange(const RangeRule& rule, long long value) {
    if (!rule.range.Holds(value)) return std::nullopt;
    return uint32_t(value);
}

EditOutcome CheckFlowmeterGroup(const std::function<std::string(int)>& cell) {
    std::array<uint32_t, std::size(kFlowmeterReadings)> values{};
    for (size_t i = 0; i < values.size(); ++i) {
        const RangeRule rule{kFlowmeterTimeoutRow + int(i), kFlowmeterReadings[i], FlowmeterGroupRules()[i]};
        const auto value = InRange(rule, Read(rule, cell(rule.row)));
        if (!value) return RejectedEdit(rule.range.Message);
        values[i] = *value;
    }
    std::array<uint8_t, FlowmeterParamBytes> block{};
    for (const FlowmeterParamField& field : FlowmeterParamFields()) {
        const uint32_t value = values[size_t(field.row - kFlowmeterTimeoutRow)];
        for (int b = 0; b < field.width; ++b) block[size_t(field.offset + b)] = uint8_t(value >> (8 * b));
    }
    const uint32_t timeout = values[0];
    return AcceptedEdit(WriteFlowmeterParams, [timeout, block](TComThread& w) {
        w.FlowmeterTimeout = timeout;
        w.FlowmeterParams = block;
    });
}

EditOutcome CheckValveControllerGroup(const std::function<std::string(int)>& cell) {
    const long long address = Integer(cell(32));
    if (!WriteRule::ValveControllerAddress.Holds(address)) return RejectedEdit(WriteRule::ValveControllerAddress.Message);
    const long long rate = Integer(cell(33), 0);
    if (!ValveControllerRateAllowed(rate)) return RejectedEdit(kValveControllerRateMessage);
    const long long opening = Integer(cell(34), 255);
    if (!WriteRule::ValveControllerOpening.Holds(opening)) return RejectedEdit(WriteRule::ValveControllerOpening.Message);
    const auto a = uint8_t(address), divisor = uint8_t(921600 / rate - 1), o = uint8_t(opening);
    return AcceptedEdit(WriteValveControllerParams, [a, divisor, o](TComThread& w) {
        w.ValveAddressToWrite = a;
        w.ValveBitRateDivisorToWrite = divisor;
        w.ValveOpeningToWrite = o;
    });
}

// ---- ChStatusListView

constexpr int kBlockRow = 0, kPriceRow = 21, kRampUpRow = 22, kFuelNameRow = 23, kVrxRow = 26;

bool ChannelIn(int channel, int count) { return channel >= 0 && channel < count; }

EditOutcome CheckPrice(int channel, const std::string& text, bool wholeUnits) {
    if (!ChannelIn(channel, kChannelCount)) return RejectedEdit(kWrongChannelText);
    // A negative or oversized whole price would reach the controller as a wrapped number.
    const long long price = wholeUnits ? Integer(text) : ParseFixedPoint(text, 2);
    if (price < 0 || price > INT_MAX) return RejectedEdit("Неправильная цена");
    const auto p = uint32_t(price);
    return AcceptedEdit(WritePrice, [channel, p](TComThread& w) {
        w.SelectedChannel = channel;
        w.PriceToWrite[size_t(channel)] = p;
    }, p);
}

EditOutcome CheckRampUp(int channel, const std::string& text) {
    if (!ChannelIn(channel, kOwnChannelCount)) return RejectedEdit(kWrongChannelText);
    const long long ms = Integer(text);
    if (!WriteRule::PumpRampUp.Holds(ms)) return RejectedEdit(WriteRule::PumpRampUp.Message);
    const auto v = uint16_t(ms);
    return AcceptedEdit(WritePumpRampUpTime, [channel, v](TComThread& w) {
        w.SelectedChannel = channel;
        w.PumpRampUpTimeToWrite[size_t(channel)] = v;
    });
}

// The name as the display boards can show it: characters without a code become blanks.
EditOutcome CheckFuelName(int channel, const std::string& text) {
    if (!ChannelIn(channel, kChannelCount)) return RejectedEdit(kWrongChannelText);
    std::array<uint8_t, FuelNameLength> codes{};
    EncodeFuelName(text, codes);
    std::string shown = DecodeFuelName(codes);
    EditOutcome outcome = AcceptedEdit(WriteFuelName, [channel, shown](TComThread& w) {
        w.SelectedChannel = channel;
        w.FuelNameToWrite[size_t(channel)] = shown;
    });
    outcome.Text = std::move(shown);
    return outcome;
}

EditOutcome CheckVrxAddress(int channel, const std::string& text) {
    if (!ChannelIn(channel, kChannelCount)) return RejectedEdit(kWrongChannelText);
    const long long address = Integer(text, 0);
    if (!WriteRule::VrxAddress.Holds(address)) return RejectedEdit(WriteRule::VrxAddress.Message);
    const auto a = uint8_t(address);
    return AcceptedEdit(WriteVrxAddress, [channel, a](TComThread& w) {
        w.SelectedChannel = channel;
        w.VrxAddress[size_t(channel)] = a;
    });
}

}  // namespace

int ParseFixedPoint(const std::string& text, int decimals) {
    if (decimals > 8) return 0;
    long long value = 0;
    bool fraction = false;
    // Blank text or a lone separator is no number: taken as 0 it would zero a price.
    if (text.find_first_of("0123456789") == std::string::npos) return -1;
    for (const char ch : text) {
        if (fraction) {
            if (decimals <= 0) return int(value);
            --decimals;
        }
        if (ch >= '0' && ch <= '9') {
            value = value * 10 + (ch - '0');
            if (value > INT_MAX) return -1;
        } else if (ch == '.' || ch == ',') {
            fraction = true;
        } else if (ch != ' ') {
            return -1;
        }
    }
    for (; decimals > 0; --decimals) {
        value *= 10;
        if (value > INT_MAX) return -1;
    }
    return int(value);
}

bool IsEditableTrkRow(int row) {
    return (row >= 10 && row <= 24) || row == 26 || (row >= kValveFirstRow && row <= kValveLastRow);
}
bool IsChClickRow(int row) { return row == kBlockRow || (row >= kPriceRow && row <= kVrxRow); }
bool IsEditableChRow(int row) {
    return row == kPriceRow || row == kRampUpRow || row == kFuelNameRow || row == kVrxRow;
}
bool IsEditableValveRow(int row) { return row == 1 || row == 2; }

EditOutcome CheckTrkEdit(int row, const std::function<std::string(int)>& cell) {
    if (row >= kFlowmeterFirstRow && row <= kFlowmeterLastRow) return CheckFlowmeterGroup(cell);
    if (row >= kValveFirstRow && row <= kValveLastRow) return CheckValveControllerGroup(cell);
    for (const SingleRule& rule : kSingleRules) {
        if (rule.range.row != row) continue;
        const auto value = InRange(rule.range, Read(rule.range, cell(row)));
        if (!value) return RejectedEdit(rule.range.range.Message);
        const uint32_t v = *value;
        return AcceptedEdit(rule.write, [stage = rule.stage, v](TComThread& w) { stage(w, v); }, v);
    }
    return {};
}

EditOutcome CheckChEdit(int row, int channel, const std::string& text, bool wholeUnitPrices) {
    switch (row) {
        case kPriceRow: return CheckPrice(channel, text, wholeUnitPrices);
        case kRampUpRow: return CheckRampUp(channel, text);
        case kFuelNameRow: return CheckFuelName(channel, text);
        case kVrxRow: return CheckVrxAddress(channel, text);
        default: return {};
    }
}

EditOutcome CheckValveEdit(int row, int column, const std::string& text) {
    if (!IsEditableValveRow(row)) return {};
    const int channel = row == 1 ? column : column + kOwnChannelCount;
    if (!ChannelIn(channel, kChannelCount) || column < 0) return RejectedEdit(kWrongChannelText);
    const long long ml = Integer(text);
    if (!WriteRule::ReductionConst.Holds(ml)) return RejectedEdit(WriteRule::ReductionConst.Message);
    const auto v = uint16_t(ml);
    return AcceptedEdit(WriteReductionConst, [channel, v](TComThread& w) {
        w.SelectedChannel = channel;
        w.ReductionConstToWrite[size_t(channel)] = v;
    });
}

EditOutcome CheckNozzleColours(int channel, const TMainWindowState& window) {
    if (!ChannelIn(channel, kChannelCount)) return RejectedEdit(kWrongChannelText);
    const uint32_t lifted = window.LiftedNozzleColour[size_t(channel)];
    const uint32_t resting = window.RestingNozzleColour[size_t(channel)];
    return AcceptedEdit(WriteNozzleColours, [channel, lifted, resting](TComThread& w) {
        w.SelectedChannel = channel;
        w.LiftedNozzleColourToWrite[size_t(channel)] = lifted;
        w.RestingNozzleColourToWrite[size_t(channel)] = resting;
    });
}
