// Pieces of the poll cycle that need no controller: the flowmeter walk length, the dashed
// reduction rows, and where a stop request is noticed during the start-up reads.
#include <gtest/gtest.h>

#include "commands/PollCycle.h"
#include "tests/support/ScriptedWorker.h"

namespace {

TEST(PollCycle, FlowmeterWalkFollowsTheBoardCount) {
    struct Case {
        uint8_t boards;
        int flowmeters;
    };
    // A board count the controller should never report walks the own board only.
    for (const Case& c : {Case{0, 5}, Case{1, 10}, Case{2, 15}, Case{3, 5}, Case{255, 5}}) {
        TDeviceState s;
        s.SubTrkCfg[1] = c.boards;
        EXPECT_EQ(FlowmeterCount(s), c.flowmeters) << int(c.boards);
    }
}

TEST(PollCycle, DashedRowsAreTheSubControllersReductionRows) {
    TRecordingViews first, second;
    DashSubController1Row(first);
    DashSubController2Row(second);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(first.Valve(2, column), "---");
        EXPECT_EQ(second.Valve(3, column), "---");
    }
    EXPECT_EQ(first.ValveCells.size(), 5u);
    EXPECT_EQ(second.ValveCells.size(), 5u);
}

// A worker asked to stop before the cycle starts: only the reads up to the first stop check.
TEST(PollCycle, StopRequestIsNoticedAtTheFirstCheckOfTheStartUpReads) {
    const std::string identity = "01 00 00 21 00 07 03 0E 05 18 00 00 00 00 00 00 00 00 1B 00 00 29 A1 86 01 00 00";
    struct Case {
        const char* name;
        std::vector<std::string> answers;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        // No answer: no pause and no second identification, the stop comes first.
        {"silent", {}, {"01 00 00"}},
        // Identified: the checksum loop checks after its first attempt.
        {"identified", {identity}, {"01 00 00", "01 00 03"}},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        for (const auto& a : c.answers) w.Line.Answer(a);
        w->Terminate();
        PollCycle(*w);
        std::vector<std::string> sent;
        for (const auto& r : w.Line.Requests) sent.push_back(ToHex(r));
        EXPECT_EQ(sent, c.requests) << c.name;
    }
}

}  // namespace
