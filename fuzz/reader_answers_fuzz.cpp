// Arbitrary answers to the clock, parameter and counter readers: whatever the controller
// sends (any length, any result code, any channel index asked for), no reader may read past
// the answer or write past a table of the state record.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "commands/CounterReaders.h"
#include "commands/ParameterCommands.h"
#include "commands/TimeCommands.h"
#include "link/ExchangeLog.h"
#include "tests/support/ScriptedWorker.h"

namespace {

const Op Readers[] = {
    ReadTime, ReadFlowmeterTimeout, ReadTabloCutOff, ReadNightBright, ReadTabloTestStepTime,
    ReadReductionConst, ReadLastFill, ReadDataBlock, ReadChannelTotals, ReadChannelCounters,
    ReadTempsAndVoltages,
};
constexpr size_t ReaderCount = sizeof Readers / sizeof Readers[0];

}  // namespace

// Input: reader, channel asked for, sub-controller address byte, then the answer content
// from its result code on (address and echo are filled in so that the answer is taken).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // Hundreds of thousands of exchanges: the log and the recorded views must not grow.
    static bool quietLog = (SetExchangeLogPath("/dev/null"), true);
    (void)quietLog;
    static ScriptedWorker w;
    TRecordingViews& v = w.Views;
    for (auto* cells : {&v.TrkCells, &v.ChCells, &v.ValveCells, &v.FlowCells}) cells->clear();
    v.Calls.clear();
    v.StatusTexts.clear();
    v.ErrorTexts.clear();
    w->CurrentChannel = int8_t(data[1]);  // negative and beyond fifteen too
    w->SubTrkCfg[4] = data[2];
    w->SubTrkCfg[6] = data[2];
    w->TrkCfg[0] = data[2];
    Op reader = Readers[data[0] % ReaderCount];

    w.Line.Requests.clear();
    w.Line.Answers.clear();
    std::vector<uint8_t> answer = {0x01, 0x00};
    answer.insert(answer.end(), data + 3, data + size);
    w.Line.Answer(answer);
    // The echo must match the command the reader sends, whatever it is.
    reader(*w);
    if (!w.Line.Requests.empty() && w.Line.Requests.back().size() > 1) {
        answer[1] = w.Line.Requests.back()[1];
        w.Line.Requests.clear();
        w.Line.Answers.clear();
        w.Line.Answer(answer);
        reader(*w);
    }
    return 0;
}
