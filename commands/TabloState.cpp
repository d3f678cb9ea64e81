#include "commands/TabloState.h"

#include <algorithm>

#include "commands/NumberText.h"
#include "engine/TextHelpers.h"

namespace {

constexpr int BoardAnswerLength = 19;    // with the colour correction
constexpr int KeyboardAnswerLength = 14;
constexpr uint8_t NoTemperature = 0x80;
constexpr uint8_t NoKeyboard = 255;
constexpr std::array<const char*, 2> BoardTypes = {"LED", "LCD"};

constexpr int TypeRow = 0, VersionRow = 1, DateRow = 2, TemperatureRow = 3, OffsetRow = 4;
constexpr int CoefficientRows = 5;  // rows 5..7 R, G, B; rows 8..10 the offsets

std::string TypeText(int device, uint8_t type) {
    if (IsDisplayBoard(device)) return type < BoardTypes.size() ? BoardTypes[type] : "---";
    return type == NoKeyboard ? "---" : std::to_string(type);
}

}  // namespace

bool IsDisplayBoard(int device) { return device >= 0 && device < kDisplayBoardCount; }
bool IsKeyboard(int device) { return device >= kDisplayBoardCount && device < kDisplayDeviceCount; }
uint8_t TabloStateSubCode(int device) { return device < kDisplayBoardCount ? 1 : 2; }
int TabloStateNeeded(int device) { return IsDisplayBoard(device) ? BoardAnswerLength : KeyboardAnswerLength; }

std::string TabloTemperatureText(uint8_t byte) {
    return byte == NoTemperature ? "---" : std::to_string(static_cast<int8_t>(byte)) + "°C";
}

std::string CoefficientText(uint8_t stored) { return std::to_string((stored * 100 + 228) / 256) + "%"; }

std::string OffsetText(uint8_t stored) { return std::to_string(static_cast<int8_t>(stored + 1)); }

uint8_t CoefficientFromText(std::string_view typed) {
    std::string digits;
    for (char ch : typed)
        if (ch >= '0' && ch <= '9') digits += ch;
    // Too many digits is as far outside 0..100 as no digits at all.
    long long percent = digits.empty() || digits.size() > 9 ? -1 : std::stoll(digits);
    if (percent < 0 || percent > 100) return 255;
    if (percent == 0) return 0;
    return static_cast<uint8_t>(percent * 256 / 100 - 1);
}

uint8_t OffsetFromText(std::string_view typed) {
    // Kept within what a byte shows (-128..127): beyond it the offset would wrap to the other sign,
    // as a coefficient over 100 % is kept at 100 %.
    const long long value = std::clamp(ParseWholeNumber(typed).value_or(0), -128LL, 127LL);
    return static_cast<uint8_t>(value - 1);
}

std::vector<RowText> TabloStateTexts(int device, std::span<const uint8_t> answer) {
    if (!IsDisplayBoard(device) && !IsKeyboard(device)) return {};
    const uint8_t* firmware = answer.data() + TabloStateAt::Firmware;
    std::vector<RowText> texts = {
        {TypeRow, TypeText(device, answer[TabloStateAt::Type])},
        {VersionRow, VersionText(firmware)},
        {DateRow, BuildDateText(firmware)},
        {TemperatureRow, TabloTemperatureText(answer[TabloStateAt::Temperature])},
        {OffsetRow, TabloTemperatureText(answer[TabloStateAt::TemperatureOffset])},
    };
    if (!IsDisplayBoard(device)) return texts;
    // Boards of an unknown type have no correction the window can interpret.
    bool known = answer[TabloStateAt::Type] < BoardTypes.size();
    for (int k = 0; k < 3; ++k) {
        uint8_t coefficient = answer[TabloStateAt::ColourCorrection + k];
        uint8_t offset = answer[TabloStateAt::ColourCorrection + 3 + k];
        texts.push_back({CoefficientRows + k, known ? CoefficientText(coefficient) : ""});
        texts.push_back({CoefficientRows + 3 + k, known ? OffsetText(offset) : ""});
    }
    return texts;
}
