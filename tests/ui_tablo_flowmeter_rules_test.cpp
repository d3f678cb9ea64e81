// Rules of the flowmeter, display-board and manual display-board test windows, without
// widgets: the test picture at two window sizes, the key steps, the cells that edit, the
// typed values and the starters' checks and staging.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "commands/FlowmeterCommands.h"
#include "commands/FlowmeterTexts.h"
#include "commands/ParameterCommands.h"
#include "engine/ComThreadUnit.h"
#include "tests/support/RecordingViews.h"
#include "ui/dialogs/FlowmeterRules.h"
#include "ui/dialogs/TabloRules.h"
#include "ui/dialogs/TabloTestPicture.h"
#include "ui/main/StarterRules.h"

namespace {

// The two window sizes: a generous one (one pixel per ten design units) and the smallest.
const double kScales[] = {TabloScale(1910, 1620), TabloScale(599, 440)};

PixelPoint At(double s, double x, double y) { return {int(x * s), int(y * s)}; }

TEST(TabloTestSteps, ArrowKeysWalkTheSequenceAndWrap) {
    int step = kNoTestStep;
    for (int press = 0; press < 8; ++press) {
        step = NextTestStep(step, true);
        EXPECT_EQ(step, press);
        TabloTestFrame same;
        same.fill(uint8_t(1u << press));  // every digit shows the same segment
        EXPECT_EQ(FrameOfStep(step), same) << press;
    }
    step = NextTestStep(step, true);  // the ninth press lights the first big digit only
    TabloTestFrame firstDigit{};
    firstDigit[0] = 0xFF;
    EXPECT_EQ(FrameOfStep(step), firstDigit);

    struct Case { int from; bool right; int to; };
    for (auto [from, right, to] : {Case{0, false, 39}, {kNoTestStep, false, 39}, {39, true, 0}, {38, true, 39},
                                   {39, false, 38}, {12, false, 11}})
        EXPECT_EQ(NextTestStep(from, right), to) << from << (right ? " right" : " left");

    TabloTestFrame all;
    all.fill(0xFF);
    EXPECT_EQ(FrameOfStep(39), all);
    EXPECT_EQ(FrameOfStep(38), TabloTestFrame{});
    EXPECT_EQ(FrameOfStep(kNoTestStep), TabloTestFrame{});
    // Steps 36 and 37 light the indicator word: 0..7, then 8, 9 and the unused bits 10..15.
    EXPECT_EQ(FrameOfStep(36)[28], 0xFF);
    EXPECT_EQ(FrameOfStep(36)[29], 0);
    EXPECT_EQ(FrameOfStep(37)[29], 0xFF);
    EXPECT_EQ(FrameOfStep(37)[28], 0);
}

TEST(TabloTestPicture, ClicksHitTheBitsTheyShould) {
    struct Case { const char* what; double x, y; std::vector<FrameBit> hits; };
    const Case cases[] = {
        {"ring centre", 2792, 10861, {}},
        {"outside the ring", 2792 + 2100, 10861, {}},
        {"top-left sector", 2792 - 463, 10861 - 1427, {{29, 1}}},   // indicator 9
        {"three o'clock", 2792 + 1500, 10861, {{28, 2}}},           // indicator 2
        {"six o'clock, left of the gap", 2792 - 300, 10861 + 1500, {{28, 5}}},
        {"top of the first big digit", 1231 + 700, 830, {{0, 0}}},
        {"undrawn decimal point of the first digit", 1231 + 1608, 830 + 2991, {{0, 7}}},
        {"drawn decimal point of row 2, digit 4", 1231 + 3 * 2612 + 1608, 830 + 4240 + 2991, {{10, 7}}},
        {"middle of the single digit with a point", 1231 + 10448 - 212 + 700, 830 + 8480 + 1495, {{16, 6}}},
        {"top of the first small digit", 1231 + 10756 + 192, 830 + 13330, {{19, 0}}},
        {"between the rows", 5000, 4400, {}},
    };
    for (double s : kScales)
        for (const Case& c : cases) EXPECT_EQ(HitTabloBits(s, At(s, c.x, c.y)), c.hits) << c.what << " at " << s;

    TabloTestFrame frame{};
    frame[29] = 0xFC;  // bits 10..15 of the word are kept when an indicator toggles
    const double s = kScales[0];
    EXPECT_TRUE(ToggleAt(frame, s, At(s, 2792 - 463, 10861 - 1427)));
    EXPECT_EQ(frame[29], 0xFE);
    EXPECT_TRUE(ToggleAt(frame, s, At(s, 2792 - 463, 10861 - 1427)));
    EXPECT_EQ(frame[29], 0xFC);
    EXPECT_FALSE(ToggleAt(frame, s, At(s, 2792, 10861)));
}

// What is drawn must be what a click on it toggles: the middle of every drawn segment,
// point and indicator hits exactly its own bit, at both sizes.
TEST(TabloTestPicture, EveryDrawnLampIsHitAtItsMiddle) {
    for (double s : kScales) {
        const std::vector<TabloLamp> lamps = TabloPicture(s);
        EXPECT_EQ(lamps.size(), 28u * 7 + 10 + 10) << "segments, drawn points, indicators";
        for (const TabloLamp& lamp : lamps) {
            PixelPoint middle = lamp.centre;
            if (!lamp.circle) {
                double x = 0, y = 0;
                for (const PixelPoint& c : lamp.corners) x += c.x, y += c.y;
                middle = {int(std::lround(x / double(lamp.corners.size()))), int(std::lround(y / double(lamp.corners.size())))};
            }
            EXPECT_EQ(HitTabloBits(s, middle), (std::vector<FrameBit>{{lamp.byte, lamp.bit}}))
                << "byte " << lamp.byte << " bit " << lamp.bit << " at " << s;
        }
    }
    // The picture fits the area it is scaled to.
    EXPECT_DOUBLE_EQ(kScales[0], 0.1);
    EXPECT_DOUBLE_EQ(kScales[1], 440.0 / 16200);
}

TEST(TabloWindowRules, EditableCellsAndTypedValues) {
    struct Cell { int row, device; bool colourRead, editable; };
    for (auto [row, device, colourRead, editable] :
         {Cell{0, 0, true, false}, {3, 2, true, false}, {4, 0, false, true}, {4, 5, false, true}, {4, 6, true, false},
          {5, 3, true, true}, {5, 3, false, false}, {5, 4, true, false}, {10, 0, true, true}, {10, 5, true, false},
          {11, 0, true, false}, {6, -1, true, false}})
        EXPECT_EQ(TabloCellEditable(row, device, colourRead), editable) << row << "/" << device << " " << colourRead;

    struct Offset { const char* typed; std::optional<uint8_t> sent; };
    for (auto [typed, sent] : {Offset{"x", std::nullopt}, {"128", std::nullopt}, {"-3", 0xFD}, {"-128", std::nullopt},
                               {"127", 0x7F}, {"-127", 0x81}, {"200", std::nullopt}, {"", std::nullopt}, {"0", 0}})
        EXPECT_EQ(TempOffsetToSend(typed), sent) << typed;

    struct Colour { int row; const char* typed; int at; uint8_t stored; const char* shown; };
    for (auto [row, typed, at, stored, shown] :
         {Colour{5, "50%", 0, 127, "50%"}, {7, "", 2, 255, "100%"}, {8, "-5", 3, 250, "-5"}, {10, "1", 5, 0, "1"}}) {
        ColourCorrection record{9, 9, 9, 9, 9, 9};
        EXPECT_EQ(ApplyColourEdit(record, row, typed), shown) << row << " " << typed;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(record[size_t(i)], i == at ? stored : 9) << row << " byte " << i;
    }
}

TEST(FlowmeterWindowRules, EditorsTypeListAndHints) {
    EXPECT_EQ(kFlowmeterCatalog.rows.size(), 26u);
    EXPECT_EQ(kFlowmeterCatalog.columns.size(), 16u);
    EXPECT_STREQ(kFlowmeterCatalog.columns[15].caption, "Расходомер 15");

    struct Row { int row; FlowmeterEditor editor; };
    for (auto [row, editor] : {Row{3, FlowmeterEditor::Text}, {12, FlowmeterEditor::TypeList}, {13, FlowmeterEditor::Text},
                               {0, FlowmeterEditor::None}, {2, FlowmeterEditor::None}, {14, FlowmeterEditor::None},
                               {-1, FlowmeterEditor::None}})
        EXPECT_EQ(EditorOfRow(row), editor) << row;

    for (auto [type, item] : {std::pair{0, -1}, {1, 0}, {4, 3}, {5, -1}}) EXPECT_EQ(FlowmeterTypeItem(type), item) << type;

    struct Hint { int row, column, status; const char* text; };
    for (auto [row, column, status, text] :
         {Hint{FlowRow::Status, 3, 254, "ГИР не отвечает"}, {FlowRow::Status, 15, 0, "OK"}, {FlowRow::Status, 1, 9, ""},
          {FlowRow::Status, 0, 254, "Состояние ГИРа"}, {23, 0, 0, "Сила магнитного поля"}, {5, 2, 254, ""},
          {FlowRow::Status, 16, 254, ""}})
        EXPECT_EQ(FlowmeterHint(row, column, status), text) << row << "/" << column;
}

TEST(StarterRules, RefusalsInTheOrderTheyAreCheckedAndWhatIsStaged) {
    TRecordingViews views;
    auto staged = [&](const EditOutcome& o) {
        auto w = std::make_unique<TComThread>(views.Bundle());
        if (o.Stage) o.Stage(*w);
        return w;
    };
    struct Address { int channel, type; const char* text; int value; const char* error; };
    for (auto [channel, type, text, value, error] :
         {Address{5, 4, "10", 0, "Неправильный номер канала"}, {0, 0, "10", 0, "Сначала выберите тип расходомера"},
          {0, 4, "0", 0, "Адрес расходомера должен быть от 1 до 254"}, {4, 4, "255", 0, "Адрес расходомера должен быть от 1 до 254"},
          {0, 4, "x", 0, "Адрес расходомера должен быть от 1 до 254"}, {0, 4, "254", 254, ""}, {2, 1, "1", 1, ""}}) {
        const EditOutcome o = FlowmeterAddressEdit(channel, type, text);
        EXPECT_EQ(o.Error, error) << channel << " " << text;
        if (!o.Accepted()) continue;
        EXPECT_EQ(o.Write, &WriteFlowmeterTypeAndAddress);
        auto w = staged(o);
        EXPECT_EQ(w->SelectedChannel, channel);
        EXPECT_EQ(w->LpgAddressToWrite[size_t(channel)], value) << text;
        EXPECT_EQ(w->FlowmeterTypeToWrite[size_t(channel)], type) << text;
    }
    struct Offset { int channel; const char* text; int value; const char* error; };
    for (auto [channel, text, value, error] :
         {Offset{0, "-126", -126, ""}, {3, "+126", 126, ""}, {0, "127", 0, "Смещение должно быть от -126 до +126"},
          {0, "x", 0, "Смещение должно быть от -126 до +126"}, {-1, "1", 0, "Неправильный номер канала"},
          {5, "1", 0, "Неправильный номер канала"}}) {
        const EditOutcome o = FlowmeterOffsetEdit(channel, text);
        EXPECT_EQ(o.Error, error) << channel << " " << text;
        if (o.Accepted()) {
            EXPECT_EQ(staged(o)->FlowmeterTempOffsetToWrite[size_t(channel)], value) << text;
        }
    }
    EXPECT_EQ(FlowmeterTypeEdit(5, 4).Error, "Неправильный номер канала");
    EXPECT_EQ(staged(FlowmeterTypeEdit(3, 2))->FlowmeterTypeToWrite[3], 2);

    // The display-board starters check nothing the windows could get wrong; an index beyond the
    // tables is dropped without a message.
    const ColourCorrection record{1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(TabloColourEdit(4, record).Accepted());
    EXPECT_EQ(TabloColourEdit(4, record).Error, "");
    auto colour = staged(TabloColourEdit(2, record));
    EXPECT_EQ(colour->TabloColourCorrection[2], record);
    EXPECT_EQ(colour->SelectedChannel, 2);
    EXPECT_FALSE(TabloTempOffsetEdit(7, 0).Accepted());
    auto offset = staged(TabloTempOffsetEdit(6, 0xFD));
    EXPECT_EQ(offset->TabloTempOffsetToWrite[6], -3);
    EXPECT_EQ(offset->SelectedChannel, 6);
    TabloTestFrame frame{};
    frame[29] = 0xFC;
    EXPECT_EQ(staged(TabloTestFrameEdit(frame))->TabloTestFrame, frame);
}

}  // namespace
