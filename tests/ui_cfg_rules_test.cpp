// Rules of the configuration window without widgets: the hose-set and power-output checks,
// typed values and their messages, and the remote-initialisation code.
#include <gtest/gtest.h>

#include <functional>

#include "commands/ConfigMapping.h"
#include "ui/dialogs/CfgRules.h"

namespace {

constexpr int X = NoSelection;
int Hoses(uint8_t code) { return HoseSetIndex(code); }
std::string Marks(const ChannelMarks& m) {
    std::string s;
    for (bool red : m) s += red ? 'R' : '.';
    return s;
}

TEST(CfgRules, HoseSetsMayNotShareAHose) {
    struct Case { int countIndex; ChannelItems sets; bool countValid; const char* red; bool write; };
    const Case cases[] = {
        {1, {Hoses(0x03), Hoses(0x06), Hoses(0x04), Hoses(0x08), Hoses(0x10)}, true, "RR...", false},  // "1+2", "2+3"
        {1, {Hoses(0x03), Hoses(0x04), Hoses(0x04), Hoses(0x08), Hoses(0x10)}, true, ".....", true},   // "1+2", "3"
        {4, {Hoses(0x01), Hoses(0x02), Hoses(0x04), Hoses(0x08), Hoses(0x10)}, true, ".....", true},
        {4, {Hoses(0x1F), Hoses(0x02), Hoses(0x04), Hoses(0x08), Hoses(0x10)}, true, "RRRRR", false},
        {2, {Hoses(0x01), Hoses(0x02), Hoses(0x11), Hoses(0x10), Hoses(0x10)}, true, "R.R..", false},  // only active rows
        {1, {Hoses(0x01), X, X, X, X}, true, ".R...", false},   // an active channel needs a set
        {0, {Hoses(0x01), X, X, X, X}, true, ".....", true},
        {X, {X, X, X, X, X}, false, ".....", false},            // no count: nothing else changes
    };
    for (const Case& c : cases) {
        const HoseSetCheck check = CheckHoseSets(c.countIndex, c.sets);
        EXPECT_EQ(check.CountValid, c.countValid) << c.countIndex;
        EXPECT_EQ(check.Applies, c.countValid);
        EXPECT_EQ(Marks(check.Red), c.red) << c.countIndex << " " << c.red;
        EXPECT_EQ(check.WriteEnabled, c.write) << c.red;
    }
}

TEST(CfgRules, PowerOutputsDriveOneThingEachButPumpsMayBeShared) {
    struct Case {
        int countIndex;
        ChannelItems small, large, pump;
        const char *smallRed, *largeRed, *pumpRed;
        bool write;
    };
    const Case cases[] = {
        // Channel 1 reduction valve and channel 2 main valve on output 3.
        {1, {2, 5, 0, 0, 0}, {3, 2, 0, 0, 0}, {4, 6, 0, 0, 0}, "R....", ".R...", ".....", false},
        // Both pumps on output 5.
        {1, {0, 2, 0, 0, 0}, {1, 3, 0, 0, 0}, {4, 4, 0, 0, 0}, ".....", ".....", ".....", true},
        // One channel: main valve on its reduction output, pump on its main output.
        {0, {2, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {4, 0, 0, 0, 0}, "R....", "R....", ".....", false},
        {0, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, ".....", "R....", "R....", false},
        // An earlier channel's pump on a later channel's reduction valve, and the other way round.
        {1, {0, 4, 0, 0, 0}, {1, 2, 0, 0, 0}, {4, 6, 0, 0, 0}, ".R...", ".....", "R....", false},
        {1, {7, 0, 0, 0, 0}, {1, 2, 0, 0, 0}, {4, 7, 0, 0, 0}, "R....", ".....", ".R...", false},
        // Nothing selected marks its own combo; inactive channels are not looked at.
        {1, {0, X, 9, 9, 9}, {1, 2, 9, 9, 9}, {3, 4, 9, 9, 9}, ".R...", ".....", ".....", false},
    };
    for (const Case& c : cases) {
        const PowerOutputCheck check = CheckPowerOutputs(c.countIndex, c.small, c.large, c.pump);
        EXPECT_TRUE(check.CountValid && check.Recolour);
        EXPECT_EQ(Marks(check.SmallRed), c.smallRed) << c.smallRed << c.largeRed << c.pumpRed;
        EXPECT_EQ(Marks(check.LargeRed), c.largeRed) << c.smallRed << c.largeRed << c.pumpRed;
        EXPECT_EQ(Marks(check.PumpRed), c.pumpRed) << c.smallRed << c.largeRed << c.pumpRed;
        EXPECT_EQ(check.WriteEnabled, c.write);
    }
    const ChannelItems any{0, 1, 2, 3, 4};
    const PowerOutputCheck none = CheckPowerOutputs(X, any, any, any);
    EXPECT_FALSE(none.CountValid || none.WriteEnabled);
    EXPECT_TRUE(none.Recolour);
    const PowerOutputCheck six = CheckPowerOutputs(5, {0, 1, 2, 3, 4}, {5, 6, 7, 8, 9}, {10, 11, 12, 13, 14});
    EXPECT_FALSE(six.CountValid || six.Recolour || six.WriteEnabled);
}

// The whole layout after any change, and the words of a refusal: the window shows them in
// panel 4, "ornix-cli config set" on stderr.
TEST(CfgRules, WholeLayoutCheckAndItsRefusal) {
    TrkCfgControls free;
    free.ChannelCountIndex = 4;
    for (size_t i = 0; i < CfgChannels; ++i) {
        free.HoseSet[i] = Hoses(uint8_t(1u << i));
        free.SmallValveOut[i] = int(i);
        free.LargeValveOut[i] = 5 + int(i);
        free.PumpOut[i] = 10 + int(i);
    }
    struct Case {
        const char* name;
        std::function<void(TrkCfgControls&)> change;
        const char *hoseRed, *outputRed;  // output marks: any of reduction, main, pump
        std::string text;
    };
    const Case cases[] = {
        {"free", [](auto&) {}, ".....", ".....", ""},
        {"hoses 1 and 3 share hose 1", [](auto& c) { c.HoseSet[2] = Hoses(0x05); }, "R.R..", ".....",
         "Наборы шлангов в конфликте, каналы 1, 3"},
        {"one output for both valves of channel 4", [](auto& c) { c.SmallValveOut[3] = c.LargeValveOut[3]; },
         ".....", "...R.", "Силовые выходы в конфликте, каналы 4"},
        {"pump 2 on main valve 5's output", [](auto& c) { c.PumpOut[1] = c.LargeValveOut[4]; }, ".....", ".R..R",
         "Силовые выходы в конфликте, каналы 2, 5"},
        {"hoses first, then outputs", [](auto& c) { c.HoseSet[1] = Hoses(0x03); c.PumpOut[0] = 5; }, "RR...", "R....",
         "Наборы шлангов в конфликте, каналы 1, 2"},
        {"a conflict of an inactive channel", [](auto& c) { c.ChannelCountIndex = 1; c.SmallValveOut[4] = 0; },
         ".....", ".....", ""},
        {"no channel count", [](auto& c) { c.ChannelCountIndex = X; }, ".....", ".....", "Неверное число каналов"},
    };
    for (const Case& c : cases) {
        TrkCfgControls controls = free;
        c.change(controls);
        const LayoutCheck check = CheckLayout(controls);
        EXPECT_EQ(Marks(check.HoseRed), c.hoseRed) << c.name;
        ChannelMarks outputs{};
        for (size_t i = 0; i < CfgChannels; ++i) outputs[i] = check.SmallRed[i] || check.LargeRed[i] || check.PumpRed[i];
        EXPECT_EQ(Marks(outputs), c.outputRed) << c.name;
        EXPECT_EQ(check.Free, c.text.empty()) << c.name;
        EXPECT_EQ(check.CountValid, controls.ChannelCountIndex != X) << c.name;
        EXPECT_EQ(ConfigConflictText(controls), c.text) << c.name;
        EXPECT_EQ(ConfigWriteRefusal(true, controls), c.text) << c.name;
        // Defaults never read from a controller are refused whatever they hold.
        EXPECT_EQ(ConfigWriteRefusal(false, controls), "Сначала прочитайте конфигурацию с этого контроллера (Опрос)");
    }
}

TEST(CfgRules, TypedValuesAndTheirMessages) {
    const std::string bright = "Ночная яркость должна быть от 10 до 100 %";
    struct Bright { const char* text; std::optional<uint32_t> value; };
    for (const Bright& c : {Bright{"5", {}}, Bright{"10", 10}, Bright{"100", 100}, Bright{"101", {}},
                            Bright{"", {}}, Bright{"5o", {}}, Bright{"-10", {}}}) {
        const Checked<uint32_t> r = NightBrightToWrite(c.text);
        EXPECT_EQ(r.Value, c.value) << c.text;
        EXPECT_EQ(r.Error, c.value ? "" : bright) << c.text;
    }
    struct Range { const char *from, *to; bool ok; };
    for (const Range& c : {Range{"0", "5", false}, Range{"1", "256", false}, Range{"1", "255", true},
                           Range{"10", "5", true}, Range{"x", "5", false}, Range{"255", "", false}}) {
        const Checked<SearchRange> r = SearchRangeToStage(c.from, c.to);
        EXPECT_EQ(r.Value.has_value(), c.ok) << c.from << ".." << c.to;
        EXPECT_EQ(r.Error, c.ok ? "" : "Адрес должен быть от 1 до 255");
    }
    EXPECT_EQ(SearchRangeToStage("10", "5").Value->From, 10);

    // A combo with nothing selected would send UTC-1: it stages nothing and says so.
    EXPECT_FALSE(TimeZoneToWrite(X, 0).Value);
    EXPECT_FALSE(TimeZoneToWrite(3, X).Value);
    EXPECT_FALSE(TimeZoneToWrite(X, 0).Error.empty());
    const auto moscow = TimeZoneToWrite(3, 2).Value;
    EXPECT_EQ(moscow->ZoneQuarters, 12);
    EXPECT_EQ(moscow->SummerMode, 2);

    EXPECT_EQ(UtcTimeToWrite(" 01.01.2000 00:01:40").Value, 100u);
    const Checked<uint32_t> bad = UtcTimeToWrite("вчера");
    EXPECT_FALSE(bad.Value);
    EXPECT_NE(bad.Error.find("вчера"), std::string::npos);

    EXPECT_TRUE(TimeGroupEnabled(9600));
    EXPECT_FALSE(TimeGroupEnabled(4800));
}

TEST(CfgRules, RemoteInitCodeOfTwentyOneDigits) {
    const std::string wrong = "Код операции должен состоять из 21 цифры";
    struct Case { const char* text; bool valid; std::string label; const char* record; };
    const Case cases[] = {
        {"1 00007 00000 65535 12345", true, "Обнуление суммарников", "01 07 00 00 00 FF FF 39 30"},
        {"200007000006553512345", true, "Инициализация ТРК", "02 07 00 00 00 FF FF 39 30"},
        {" 3 0000 70000 06553 51234 5 ", true, "Очистка журнала событий", "03 07 00 00 00 FF FF 39 30"},
        {"9 99999 00001 00000 00000", true, "Неправильный код операции", "09 9F 86 01 00 00 00 00 00"},
        {"1 00007 00000 65535 1234", false, wrong, ""},     // 20 digits
        {"1 00007 00000 65535 1234a", false, wrong, ""},
        {"1 00007 00000 65535 1234Ж", false, wrong, ""},
        {"", false, wrong, ""},
    };
    for (const Case& c : cases) {
        const RemoteInitCode code = ParseRemoteInitCode(c.text);
        EXPECT_EQ(code.Valid, c.valid) << c.text;
        EXPECT_EQ(code.Label, c.label) << c.text;
        if (!c.valid) continue;
        char hex[64] = {};
        for (size_t i = 0; i < code.Record.size(); ++i)
            std::snprintf(hex + 3 * i, 4, i + 1 < code.Record.size() ? "%02X " : "%02X", code.Record[i]);
        EXPECT_STREQ(hex, c.record) << c.text;
    }
}

}  // namespace
