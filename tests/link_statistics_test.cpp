// Link figures: every outcome of an exchange is counted under its command, and a reader's
// verdict on a short answer corrects the count.
#include "link/ComPortUnit.h"
#include "link/LinkStatistics.h"
#include "link/ResultCodes.h"
#include "link/UserFormats.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedLine.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkStatistics, SummaryNamesEachKindAndTheAnswerTimes) {
    SetUserFormats({"%d.%m.%Y", "%H:%M:%S", ","});
    LinkFigures figures;
    figures[8] = {3, 2, {{kNoAnswer, 1}, {5, 1}}, 25000, 15049};
    figures[209] = {4, 4, {{kBadCrc, 1}, {kWrongLength, 2}, {kWrongEcho, 1}}, 400, 160};
    figures[0] = {2, 0, {{kNoAnswer, 2}}, 0, 0};
    EXPECT_EQ(LinkSummaryText(figures, "\n"),
              "Команда 0: обменов 2, ответов 0, нет ответа — 2\n"
              "Команда 8: обменов 3, ответов 2, нет ответа — 1, код 5 — 1, время ответа ср. 12,5 мс, макс. 15,0 мс\n"
              "Команда 209: обменов 4, ответов 4, неверное эхо — 1, неверная длина — 2, CRC — 1, "
              "время ответа ср. 0,1 мс, макс. 0,2 мс\n");
    EXPECT_EQ(LinkSummaryText({}, "\n"), "");
    SetUserFormats({});
}

TEST(LinkStatistics, PortCountsEveryOutcomeUnderItsCommand) {
    TScriptedLine& line = UseScriptedLine();
    ComPort.Statistics.Reset();
    ComPort.SetReadTimeout(20);
    struct Case {
        const char* request;
        const char* answer;  // nullptr: silence
        int readerNeeds;     // > 0: a reader wants this many bytes and reports a short answer
    };
    const Case cases[] = {
        {"01 08", "01 08 00 11 22 33 44", 0},
        {"01 08", nullptr, 0},
        {"01 08", "01 09 00", 0},        // echo of another command
        {"01 08", "01 08 05", 0},        // the controller refuses with result 5
        {"01 D1 01 00", "01 D1 00 01", 10},
        {"01 D1 01 00", "01 D1 00 01 02 03 04 05 06 07", 10},
    };
    for (const Case& c : cases) {
        if (c.answer) line.Answer(c.answer);
        std::vector<uint8_t> request = FromHex(c.request);
        request.resize(256);
        ComPort.Exchange(request.data(), int(FromHex(c.request).size()));
        if (c.readerNeeds > 0 && ComPort.Error == 0 && ComPort.AnswerLength < c.readerNeeds)
            ComPort.ReportWrongLength(c.readerNeeds);
    }
    const LinkFigures figures = ComPort.Statistics.Snapshot();
    ASSERT_EQ(figures.size(), 2u);
    const CommandFigures& time = figures.at(8);
    EXPECT_EQ(time.exchanges, 4u);
    EXPECT_EQ(time.answers, 3u);
    EXPECT_EQ(time.errors, (std::map<int, uint32_t>{{kWrongEcho, 1}, {kNoAnswer, 1}, {5, 1}}));
    const CommandFigures& block = figures.at(209);
    EXPECT_EQ(block.exchanges, 2u);
    EXPECT_EQ(block.answers, 2u);
    EXPECT_EQ(block.errors, (std::map<int, uint32_t>{{kWrongLength, 1}}));
    EXPECT_GE(block.answerMicrosMax, block.answerMicrosTotal / 2);
    ComPort.SetLine(nullptr);
}

}  // namespace
