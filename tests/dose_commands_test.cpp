// Dose and price commands: the bytes each one sends, what it shows, and what a price reading
// with or without the dose readback changes.
#include <gtest/gtest.h>

#include "commands/DoseCommands.h"
#include "link/UserFormats.h"
#include "tests/support/ScriptedWorker.h"

namespace {

class DoseCommands : public ::testing::Test {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ",";
        SetUserFormats(formats);
        w->SelectedChannel = 2;
        w->CurrentChannel = 2;
    }
    ScriptedWorker w;
};

TEST_F(DoseCommands, WritersSendTheStagedValuesAndShowTheVerdict) {
    struct Case {
        Op op;
        void (*stage)(TComThread&);
        const char* request;
        const char* status;
    };
    const Case cases[] = {
        {LoadDose, [](TComThread& t) { t.DoseKind = 1; t.DoseAmount = 1500; }, "01 C8 02 01 DC 05 00 00",
         "Загрузка параметров дозы 3...OK"},
        {LoadDose, [](TComThread& t) { t.DoseKind = 0; t.DoseAmount = 0x01020304; }, "01 C8 02 00 04 03 02 01",
         "Загрузка параметров дозы 3...OK"},
        {StartDose, nullptr, "01 C9 02", "Запуск дозы 3...OK"},
        {StopDose, nullptr, "01 CA 02", "Остановка дозы 3...OK"},
        {ContinueDose, nullptr, "01 CB 02", "Долив дозы 3...OK"},
        {ConfirmFillEnd, nullptr, "01 CF 02", "Подтверждение окончания налива 3...OK"},
        {BlockChannel, [](TComThread& t) { t.BlockFlag = 1; }, "01 CC 02 01", "Блокировка канала 3...OK"},
        {BlockChannel, [](TComThread& t) { t.BlockFlag = 0; }, "01 CC 02 00", "Разблокировка канала 3...OK"},
        {WritePrice, [](TComThread& t) { t.PriceToWrite[2] = 5490; t.Price[2] = 1; }, "01 CD 02 72 15 00 00",
         "Запись цены топлива 3 54,9 руб....OK"},
    };
    for (const Case& c : cases) {
        if (c.stage) c.stage(*w);
        const std::string request = w.Run(c.op, std::string(c.request).substr(0, 5) + " 00");
        EXPECT_EQ(request, c.request);
        EXPECT_EQ(w->CommandStatusText, c.status);
        EXPECT_TRUE(w->PollStatusText.empty()) << c.status;
    }
}

TEST_F(DoseCommands, RefusalEndsTheStatusAndNothingIsRetried) {
    w.Run(StartDose, "01 C9 21");
    EXPECT_EQ(w.Line.Requests.size(), 1u);
    EXPECT_EQ(w->CommandStatusText, "Запуск дозы 3...Ошибка 33: Требуется подтверждение окончания налива");
}

TEST_F(DoseCommands, PriceOfAChannelBeyondTheTablesIsNotSent) {
    w->SelectedChannel = 15;
    EXPECT_EQ(w.Run(WritePrice, "01 CD 00"), "");
}

TEST_F(DoseCommands, LoadAndStartConfirmsLoadsAndStartsEvenAfterARefusal) {
    w->DoseKind = 0;
    w->DoseAmount = 5000;
    w.Line.Answer("01 CF BB");  // nothing to confirm: 187
    w.Line.Answer("01 C8 00");
    w.Line.Answer("01 C9 00");
    w->HandOver(LoadAndStartDose);
    ASSERT_EQ(w->TakeHandedOver(), LoadAndStartDose);
    LoadAndStartDose(*w);
    ASSERT_EQ(w.Line.Requests.size(), 3u);
    EXPECT_EQ(ToHex(w.Line.Requests[0]), "01 CF 02");
    EXPECT_EQ(ToHex(w.Line.Requests[1]), "01 C8 02 00 88 13 00 00");
    EXPECT_EQ(ToHex(w.Line.Requests[2]), "01 C9 02");
    EXPECT_EQ(w->Pending(), nullptr);
    EXPECT_EQ(w->CommandStatusText, "Запуск дозы 3...OK");
}

// A refused load starts nothing: the channel would pour an earlier dose, and the start's "OK"
// would hide the refusal.
TEST_F(DoseCommands, LoadAndStartStopsAtARefusedLoadAndLeavesItsError) {
    w->DoseKind = 0;
    w->DoseAmount = 5000;
    for (const char* loadAnswer : {"01 C8 BC", ""}) {  // refused; no answer at all
        SCOPED_TRACE(*loadAnswer ? loadAnswer : "silence");
        w.Line.Requests.clear();
        w.Line.Answers.clear();
        w.Line.Answer("01 CF 00");
        if (*loadAnswer) w.Line.Answer(loadAnswer);
        LoadAndStartDose(*w);
        ASSERT_EQ(w.Line.Requests.size(), 2u);
        EXPECT_EQ(ToHex(w.Line.Requests[1]), "01 C8 02 00 88 13 00 00");
        EXPECT_TRUE(w->CommandStatusText.starts_with("Загрузка параметров дозы 3...")) << w->CommandStatusText;
        EXPECT_FALSE(w->CommandStatusText.ends_with("OK")) << w->CommandStatusText;
        EXPECT_EQ(w.Views.LastError(), w->CommandStatusText);
    }
}

TEST_F(DoseCommands, PriceAnswerLengthDecidesWhatIsShown) {
    // Price 49,99; loaded 10,5 l for 524,9.
    const std::string full = "01 CE 00 02 87 13 00 00 04 29 00 00 0A CD 00 00";
    struct Case {
        int channel;
        int length;  // answer bytes used
        bool kazakh;
        bool priceShown, doseShown;
        const char* priceText;
    };
    const Case cases[] = {
        {2, 16, false, true, true, "49,99"},
        {2, 16, true, true, true, "4999"},
        {2, 12, false, true, false, "49,99"},
        {2, 8, false, true, false, "49,99"},
        {4, 20, false, true, true, "49,99"},
        {6, 16, false, false, false, ""},   // a channel of a sub-controller board: stored only
        {3, 16, false, false, false, ""},   // the view shows three channels
    };
    for (const Case& c : cases) {
        ScriptedWorker fresh;
        fresh.Views.KazakhPrice = c.kazakh;
        fresh.Views.ChannelColumns = c.channel == 3 ? 3 : 5;
        fresh->CurrentChannel = c.channel;
        std::string answer = full.substr(0, size_t(c.length) * 3 - 1);
        if (c.length > 16) answer += " 00 00 00 00";
        EXPECT_EQ(fresh.Run(ReadPrice, answer), "01 CE " + ToHex(std::vector<uint8_t>{uint8_t(c.channel)}));
        SCOPED_TRACE(c.length);
        EXPECT_EQ(fresh->Price[size_t(c.channel)], 4999u);
        EXPECT_EQ(fresh.Views.Ch(21, c.channel), c.priceText);
        EXPECT_EQ(fresh.Views.Window.PriceKnown(c.channel), c.priceShown);
        EXPECT_EQ(fresh.Views.LoadedDoses.count(c.channel), c.doseShown ? 1u : 0u);
        if (c.doseShown) {
            EXPECT_EQ(fresh.Views.LoadedDoses[c.channel].first, "10,5");
            EXPECT_EQ(fresh.Views.LoadedDoses[c.channel].second, "524,9");
        }
        EXPECT_EQ(fresh->PollStatusText, "Чтение цены топлива " + std::to_string(c.channel + 1) + "...OK");
    }
}

TEST_F(DoseCommands, ShortPriceAnswerIsReportedAndChangesNothing) {
    w.Run(ReadPrice, "01 CE 00 02 87 13 00");
    EXPECT_EQ(w->Price[2], 0u);
    EXPECT_EQ(w.Views.Ch(21, 2), "");
    EXPECT_NE(w->PollStatusText.find("Должно быть 8 байт"), std::string::npos) << w->PollStatusText;
}

}  // namespace
