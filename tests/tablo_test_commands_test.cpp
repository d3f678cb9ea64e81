// The display boards' test: the bytes of both requests, one run of each against ornix-sim,
// and what the simulator's -v log shows of a frame and of the display devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "commands/TabloTestCommands.h"
#include "link/ComPortUnit.h"
#include "sim/SimController.h"
#include "tests/support/ScriptedWorker.h"
#include "tests/support/SimOnComPort.h"

namespace {

std::string Repeat(const std::string& byteHex, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += " " + byteHex;
    return s;
}

TEST(TabloTestRequests, FramesGoAsTheyStandAndTheTailIsZero) {
    ScriptedWorker w;
    EXPECT_EQ(w.Run(StartTabloTest, "01 D6 00"), "01 D6");
    EXPECT_TRUE(w->CommandStatusText.ends_with("OK")) << w->CommandStatusText;

    // All zeros and all ones are what the keyboard steps 38 and 39 send; bits 10..15 of the
    // indicator word go unchanged.
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
        w->TabloTestFrame.fill(fill);
        const std::string hex = fill ? "FF" : "00";
        EXPECT_EQ(w.Run(WriteTabloTestFrame, "01 D6 00"), "01 D6" + Repeat(hex, 30) + Repeat("00", 14)) << hex;
    }
    w->TabloTestFrame = {};
    w->TabloTestFrame[29] = 0xFC;
    EXPECT_EQ(w.Run(WriteTabloTestFrame, "01 D6 12"), "01 D6" + Repeat("00", 29) + " FC" + Repeat("00", 14));
    EXPECT_TRUE(w->CommandStatusText.starts_with("Запись времени шага теста табло")) << w->CommandStatusText;
    EXPECT_TRUE(w->CommandStatusText.ends_with(ComPort.ResultText)) << w->CommandStatusText;
    EXPECT_EQ(ComPort.Error, 18);
}

TEST(TabloTestE2e, SimulatorRunsItsTestAndShowsTheFrame) {
    std::string error;
    std::atomic<int64_t> nowMs{1'000'000};
    auto sim = StartSimOnComPort({}, [&] { return nowMs.load(); }, error);
    ASSERT_TRUE(sim) << error;
    TRecordingViews views;
    TComThread worker{views.Bundle()};
    worker.DeviceAddress = 1;
    for (int i = 0; i < 30; ++i) worker.TabloTestFrame[size_t(i)] = uint8_t(i * 7);
    WriteTabloTestFrame(worker);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;
    StartTabloTest(worker);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;
    sim->WithBus([&](SimBus& bus) {
        const SimTabloTest& t = bus.Main().State.TabloTest;
        EXPECT_EQ(t.FramesShown, 1);
        EXPECT_TRUE(std::equal(worker.TabloTestFrame.begin(), worker.TabloTestFrame.end(), t.LastFrame.begin()));
        EXPECT_EQ(t.AutoTestStarts, 1);
        EXPECT_EQ(t.AutoTestStartedMs, 1'000'000);
        return 0;
    });
    ComPort.Close();
}

TEST(TabloTestSimLog, FrameIsDrawnAndDisplayDevicesListed) {
    SimController c;
    std::vector<uint8_t> request(46, 0);
    request[0] = 1;
    request[1] = 214;
    request[2] = 0x3F | 0x80;  // "0." in the first big digit
    request[2 + 13] = 0x06;    // "1" in the last digit of row 2
    request[2 + 28] = 0x01;    // indicators 0 and 9
    request[2 + 29] = 0x02;
    auto a = c.Handle(request);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ResultCode(), 0);
    ASSERT_EQ(a->Notes.size(), 8u);
    EXPECT_TRUE(a->Notes[1].starts_with("   _  ")) << a->Notes[1];
    EXPECT_TRUE(a->Notes[2].starts_with("  | |")) << a->Notes[2];
    EXPECT_TRUE(a->Notes[3].starts_with("  |_|.")) << a->Notes[3];
    // The last digit of row 2 ends the first block: only its right-hand bars are lit.
    EXPECT_TRUE(a->Notes[3].ends_with("  | ")) << a->Notes[3];
    EXPECT_EQ(a->Notes[7], "  ring indicators lit: 0 9 (word 0x0201)");

    auto colour = c.Handle(std::vector<uint8_t>{1, 214, 1, 2, 10, 20, 30, 1, 2, 3});
    ASSERT_TRUE(colour);
    ASSERT_GE(colour->Notes.size(), 4u);
    EXPECT_NE(colour->Notes[3].find("board 3: type"), std::string::npos) << colour->Notes[3];
    EXPECT_NE(colour->Notes[3].find("colour coefficients 10 20 30, offsets 1 2 3"), std::string::npos);

    auto start = c.Handle(std::vector<uint8_t>{1, 214});
    ASSERT_TRUE(start);
    EXPECT_EQ(start->ResultCode(), 0);
    EXPECT_EQ(start->Notes.front(), "display-board self-test started, 100 ms a step");
    EXPECT_EQ(c.State.TabloTest.AutoTestStarts, 1);
}

}  // namespace
