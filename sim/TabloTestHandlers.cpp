// The display boards' test (command 214 without parameters: the automatic run; with a
// 44-byte block: a picture chosen by hand). The other forms of 214 are parameter writes.
#include <algorithm>

#include "link/CommandCodes.h"
#include "sim/Families.h"
#include "sim/SimController.h"

namespace {

constexpr size_t kAutoTestLength = 2;
constexpr size_t kFrameLength = 2 + kSimTestFrameSize;

void StartAutoTest(SimController& c, const SimRequest&, SimAnswer& a) {
    SimTabloTest& t = c.State.TabloTest;
    ++t.AutoTestStarts;
    t.AutoTestStartedMs = c.NowMs();
    a.Notes.push_back("display-board self-test started, " + std::to_string(c.State.TabloTestStep * 10) +
                      " ms a step");
    auto devices = DisplayDeviceLines(c.State.Status);
    a.Notes.insert(a.Notes.end(), devices.begin(), devices.end());
}

void ShowTestFrame(SimController& c, const SimRequest& rq, SimAnswer& a) {
    SimTabloTest& t = c.State.TabloTest;
    std::copy_n(rq.Bytes.begin() + 2, kSimTestFrameSize, t.LastFrame.begin());
    ++t.FramesShown;
    a.Notes = TestFrameLines(t.LastFrame);
}

bool IsAutoTest(const SimRequest& rq) { return rq.Length() == kAutoTestLength; }
bool IsTestFrame(const SimRequest& rq) { return rq.Length() == kFrameLength; }

const SimHandlerRow kRows[] = {
    {Cmd::WriteTabloTest, kAnySubCode, StartAutoTest, IsAutoTest},
    {Cmd::WriteTabloTest, kAnySubCode, ShowTestFrame, IsTestFrame},
};

}  // namespace

const SimFamily TabloTestFamily{"display-board test", kRows};
