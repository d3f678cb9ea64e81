#include "commands/ChannelState.h"

#include <array>

#include "commands/BlockFields.h"
#include "engine/TextHelpers.h"
#include "engine/Views.h"

namespace {

constexpr std::array<const char*, 7> DoseSources = {
    "ТРК", "ИК-Пульт", "ПК2-протокол", "ПК1-протокол", "VRX2.0-протокол", "Клавиатура", "Пистолет",
};

struct StatusImage {
    int Row;
    int Bit;
    int WhenSet, WhenClear;
};
constexpr StatusImage StatusImages[] = {
    {0, 4, Images::RedCross, Images::GreyCheck},
    {1, 1, Images::RedCross, Images::None},
    {2, 2, Images::RedCross, Images::None},
    {3, 3, Images::RedCross, Images::None},
    {4, 5, Images::GreenCheck, Images::None},
    {5, 6, Images::GreenCheck, Images::None},
};

constexpr BlockField Quantities[] = {
    {6, 1, 4, 1000},    // loaded volume
    {7, 5, 4, 100},     // loaded money
    {9, 10, 4, 1000},   // started volume
    {10, 14, 4, 100},   // started money
    {12, 19, 4, 1000},  // poured volume
    {13, 23, 4, 100},   // poured money
    {14, 35, 4, 1000},  // overfill
    {15, 27, 8, 1000},  // total
    {16, 66, 4, 1000},  // overfill total
    {17, 74, 4, 1000},  // manual total
    {18, 70, 4, 1000},  // remote-control total
    {19, 78, 8, 100},   // money total
};

struct SourceField {
    int Row;
    int Offset;
};
constexpr SourceField Sources[] = {{8, 9}, {11, 18}};

}  // namespace

std::string DoseSourceText(uint8_t source) {
    return source < DoseSources.size() ? DoseSources[source] : std::to_string(source);
}

std::array<RowImage, 6> ChannelStatusImages(uint8_t status) {
    std::array<RowImage, 6> images{};
    for (size_t i = 0; i < images.size(); ++i) {
        const StatusImage& s = StatusImages[i];
        images[i] = {s.Row, (status >> s.Bit) & 1 ? s.WhenSet : s.WhenClear};
    }
    return images;
}

std::vector<RowText> ChannelStateTexts(ChannelStateBlock block) {
    std::vector<RowText> texts;
    for (const BlockField& f : Quantities) texts.push_back({f.Row, BlockFieldText(block, f)});
    for (const SourceField& s : Sources) texts.push_back({s.Row, DoseSourceText(block[s.Offset])});
    return texts;
}

uint32_t NozzleColour(ChannelStateBlock block, int offset) {
    return uint32_t(block[offset]) | uint32_t(block[offset + 1]) << 8 | uint32_t(block[offset + 2]) << 16;
}

std::string PriceText(uint32_t price, bool wholeUnits) {
    return wholeUnits ? std::to_string(price) : RealText(price / 100.0);
}
