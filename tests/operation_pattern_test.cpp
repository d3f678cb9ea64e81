// The shared shape of every single-exchange operation, over a scripted line: what is
// decoded and shown for good, short, refused and missing answers, and the pending slot.
#include <gtest/gtest.h>

#include "engine/OperationPattern.h"
#include "link/ComPortUnit.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedLine.h"

namespace {

struct Seen {
    int decodes = 0, displays = 0, length = 0;
    std::vector<uint8_t> answer;
};
Seen gSeen;

// Reads the clock: the answer needs 8 bytes (a u32 after the result code and a zone byte).
void ReadClock(TComThread& w) {
    TRequest request{w.DeviceAddress, 8};
    RunExchange(w, ReadClock, request, 2, {.Needed = 8},
                [](const uint8_t* answer, int length) {
                    ++gSeen.decodes;
                    gSeen.length = length;
                    gSeen.answer.assign(answer, answer + length);
                },
                [] { ++gSeen.displays; });
}

void SomethingElse(TComThread&) {}

class OperationPatternTest : public ::testing::Test {
protected:
    void SetUp() override {
        gSeen = {};
        LastStatusShown = 0;
        StatusClock = SteadyClockMs;
        ComPort.Error = 0;
    }
    TScriptedWorker s;
};

TEST_F(OperationPatternTest, AnswersDecideWhatIsDecodedAndShown) {
    struct Case {
        const char* name;
        const char* answer;  // "" for silence
        bool decoded;
        const char* status;
    };
    const Case cases[] = {
        {"exact", "01 08 00 10 20 30 40 04", true, "Чтение времени...OK"},
        {"longer", "01 08 00 10 20 30 40 04 01 02 03", true, "Чтение времени...OK"},
        {"short", "01 08 00 10 20 30 40", false,
         "Чтение времени...Неверная длина ответа: 7 байт. Должно быть 8 байт."},
        {"refused", "01 08 12", false, "Чтение времени...Ошибка 18: Неверные данные в запросе"},
        {"silent", "", false, "Чтение времени...Нет ответа"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gSeen = {};
        s.Line.Answers.clear();
        if (*c.answer) s.Line.Answer(c.answer);
        ReadClock(s.Worker);
        EXPECT_EQ("01 08", s.Line.LastRequestHex());
        EXPECT_EQ(c.decoded ? 1 : 0, gSeen.decodes);
        EXPECT_EQ(c.decoded ? 1 : 0, gSeen.displays);
        EXPECT_EQ(c.status, s.Worker.PollStatusText);
        EXPECT_EQ(c.status, s.Views.LastStatus());
        if (c.decoded) {
            EXPECT_EQ(c.answer, ToHex(gSeen.answer));
        }
    }
}

// A job's own run of an operation (the poll reading the clock) is not the engineer's: the
// hand-over stays waiting with its staged values, and only taking it empties the queue.
TEST_F(OperationPatternTest, RunningAnOperationLeavesItsHandOverWaiting) {
    s.Worker.HandOver(ReadClock);
    s.Worker.HandOver(SomethingElse);
    ReadClock(s.Worker);
    EXPECT_EQ(ReadClock, s.Worker.Pending());
    EXPECT_EQ(ReadClock, s.Worker.TakeHandedOver());
    EXPECT_EQ(SomethingElse, s.Worker.TakeHandedOver());
    EXPECT_EQ(nullptr, s.Worker.Pending());
}

TEST_F(OperationPatternTest, CommandTextGoesToPanelFourAndKeepsPanelThree) {
    s.Worker.PollStatusText = "Чтение цены...OK";
    s.Line.Answer("01 08 00 10 20 30 40 04");
    TRequest request{1, 8};
    RunExchange(s.Worker, nullptr, request, 2, {.Status = &s.Worker.CommandStatusText, .Needed = 8});
    EXPECT_EQ("Чтение времени...OK", s.Views.LastError());
    EXPECT_EQ("Чтение цены...OK", s.Views.LastStatus());
}

uint64_t gNow = 0;
uint64_t FakeNow() { return gNow; }

TEST_F(OperationPatternTest, OnlyAMarkedAnnouncementMayBeDropped) {
    StatusClock = FakeNow;
    gNow = 10000;
    LastStatusShown = 9990;  // something was shown 10 ms ago
    for (bool mark : {true, false}) {
        s.Views.StatusTexts.clear();
        s.Line.Answer("01 08 00 10 20 30 40 04");
        TRequest request{1, 8};
        RunExchange(s.Worker, nullptr, request, 2, {.Needed = 8, .MarkSending = mark});
        const std::vector<std::string> announced = {"Чтение времени...", "Чтение времени...OK"};
        const std::vector<std::string> dropped = {"Чтение времени...OK"};
        EXPECT_EQ(mark ? dropped : announced, s.Views.StatusTexts) << "marked " << mark;
    }
}

TEST_F(OperationPatternTest, BufferVariantTakesAnswersBeyondTheLocalBuffer) {
    std::vector<uint8_t> answer(600, 0x5A);
    answer[0] = 1;
    answer[1] = 8;
    answer[2] = 0;
    s.Line.Answer(answer);
    ComPort.Buffer[0] = 1;
    ComPort.Buffer[1] = 8;
    int length = 0;
    EXPECT_TRUE(RunExchangeBuffer(s.Worker, nullptr, 2, {.Needed = 8},
                                  [&](const uint8_t*, int n) { length = n; }));
    EXPECT_EQ(600, length);
}

}  // namespace
