#include "ui/main/HardwareFaults.h"

#include <gtest/gtest.h>

#include <vector>

// Spelled with a Latin "c" among the Cyrillic letters, as the controller's texts have it.
static const std::string Unknown = "Неизвестный код неи" "c" "правности ";

TEST(HardwareFaultText, CodesOfTheTable) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "FRAM неисправна"},
        {2, "Неправильные ФусБиты"},
        {3, "RTC неисправна"},
        {5, "SRAM неисправна"},
        {6, "Расходомер 1. Напряжение питания менее 4В"},
        {11, "Расходомер 2. Напряжение питания менее 4В"},
        {26, "Расходомер 5. Напряжение питания менее 4В"},
        {22, "Расходомер 4. Напряжение питания от 6В до 10В"},
        {18, "Расходомер 3. Напряжение питания более 13В"},
        {29, "Расходомер 5. Управление питанием не работает"},
        {30, "Flash неисправна"},
        {31, "ТРК в ручном режиме"},
        {32, "Расходомер 1. Разное кол-во импульсов двухканального расходомера"},
        {48, "Расходомер 5. Разное кол-во импульсов двухканального расходомера"},
        {41, "Расходомер 3. Утечка клапана"},
        {46, "Расходомер 4. Не отвечает по протоколу"},
        {51, "Расходомер 5. Нет импульсов в высокопроизводительном рукаве"},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(HardwareFaultText(code), text) << code;
}

TEST(HardwareFaultText, CodesWithoutTextFallBackWithLatinC) {
    for (int code : {0, 4, 10, 15, 20, 25, 52, 255})
        EXPECT_EQ(HardwareFaultText(code), Unknown + std::to_string(code))
            << code;
    // The fallback really carries the Latin letter, not the Cyrillic "с".
    EXPECT_NE(HardwareFaultText(4).find("неи" "c" "правности"), std::string::npos);
}

TEST(HdwErrTick, TitleSequences) {
    struct Case { int hdw, time; std::vector<std::string> captions; };
    const std::string p = TitlePrefix;
    const std::vector<Case> cases = {
        {0, 0, {p, p, p, p}},
        {4, 0, {p, p + Unknown + "4", p}},
        {31, 2, {p, p + "ТРК в ручном режиме", p, p + "ТРК в ручном режиме"}},
        {0, 3, {p, p + "В ТРК время не идёт", p}},
        {0, 1, {p, p + "В ТРК неправильное время"}},
    };
    for (const auto& c : cases) {
        HdwErrBlink state;
        for (size_t i = 0; i < c.captions.size(); ++i)
            EXPECT_EQ(HdwErrTick(state, c.hdw, c.time), c.captions[i]) << c.hdw << "/" << c.time << " tick " << i;
    }
}

TEST(HdwErrTick, EditHoldOffReachesZeroAfterTenTicks) {
    HdwErrBlink state;
    state.EditHoldOff = 10;
    for (int i = 0; i < 9; ++i) HdwErrTick(state, 0, 0);
    EXPECT_EQ(state.EditHoldOff, 1);
    HdwErrTick(state, 0, 0);
    EXPECT_EQ(state.EditHoldOff, 0);
    HdwErrTick(state, 0, 0);
    EXPECT_EQ(state.EditHoldOff, 0);
}

// The fault is also written where the tool's messages are; a message of substance stays in front.
TEST(MessagePanelText, FaultBesideTheMessage) {
    struct Case { const char* message; int hdw, time; std::string shown; };
    const Case cases[] = {
        {"OK", 0, 0, "OK"},
        {"", 0, 0, ""},
        {"OK", 37, 0, "Расходомер 2. Утечка клапана"},
        {"", 0, 3, "В ТРК время не идёт"},
        {"OK", 31, 2, "ТРК в ручном режиме"},  // the hardware fault hides the clock's, as in the title
        {"Адрес должен быть от 1 до 127", 1, 0, "Адрес должен быть от 1 до 127 | FRAM неисправна"},
        {"Нет ответа", 0, 9, "Нет ответа"},  // a clock code without a text adds nothing
    };
    for (const Case& c : cases) EXPECT_EQ(MessagePanelText(c.message, c.hdw, c.time), c.shown) << c.message << c.hdw;
}
