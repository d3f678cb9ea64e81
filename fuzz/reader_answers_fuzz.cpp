// Arbitrary answers to every operation that talks to the controller, readers and writers:
// whatever it sends (any length, any result code), under any channel index and any
// configuration pages, no decoder or display step may read past an answer or index past
// a table of the state record or of a window.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "commands/ConfigRecords.h"
#include "commands/CounterReaders.h"
#include "commands/DoseCommands.h"
#include "commands/FlowmeterCommands.h"
#include "commands/FlowmeterTexts.h"
#include "commands/ParameterCommands.h"
#include "commands/PeripheralCommands.h"
#include "commands/RemoteInitCommands.h"
#include "commands/StatusReaders.h"
#include "commands/TimeCommands.h"
#include "engine/ComThreadUnit.h"
#include "commands/LinkSetup.h"
#include "commands/PollCycle.h"
#include "commands/MemoryCommands.h"
#include "commands/ServiceCommands.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/ScriptedLine.h"

namespace {

uint32_t PassNumber = 0;

void PollPassOfInput(TComThread& w) { PollPass(w, PassNumber); }

void SyncAfterIdentity(TComThread& w) {
    // Identified once already, so that a bad identity answer is not retried after a pause.
    w.DeviceInfoRead = 1;
    SyncDeviceState(w);
}

const Op Operations[] = {
    // Identity, live state and configuration pages.
    ReadDeviceInfo, ReadFirmwareMd5, ReadChannelState, ReadPumpRampUpTime, ReadFlowmeterState,
    ReadTabloState, ReadTrkCfg, ReadSubTrkCfg,
    // Clock, parameters and counters.
    ReadTime, ReadFlowmeterTimeout, ReadTabloCutOff, ReadNightBright, ReadTabloTestStepTime,
    ReadReductionConst, ReadLastFill, ReadDataBlock, ReadChannelTotals, ReadChannelCounters,
    ReadTempsAndVoltages,
    // Flowmeters and the peripherals behind the controller.
    ReadFlowmeterData, ReadCryptoFlowmeterData, ShowCryptoNotPolled, ReadSoundGenStatus,
    ReadValveControllerStatus, ReadValveControllerInfo,
    // Writers: what they make of the answer.
    WriteBusAddress, WriteBitRate, WriteProtocolType, WriteTrkCfg, WriteSubTrkCfg, WriteTime,
    WriteTimeZone, WriteFlowmeterTimeout, WriteFlowmeterParams, WriteTabloCutOff, WriteNightBright,
    WriteTabloTestStepTime, WriteReductionConst, WritePumpRampUpTime, WriteNozzleColours,
    WriteFuelName, WriteVrxAddress, WriteTabloColourCorrection, WriteTabloTempOffset,
    WriteFlowmeterType, WriteFlowmeterTypeAndAddress, WriteFlowmeterTempOffset,
    WriteSoundGenAddress, WriteSoundGenVolume, WriteValveControllerParams,
    // Doses and prices; the price reader shows the loaded dose too.
    ReadPrice, LoadDose, StartDose, StopDose, ContinueDose, BlockChannel, WritePrice, ConfirmFillEnd,
    LoadAndStartDose,
    // Service functions: the pin test, the SD card listing and file read, the memory clearing.
    TestMcuPins, ReadSdCardDirectory, ReadSdCardFile, ClearMemory,
    // Remote initialisation, and the window's configuration write that may read the page first.
    ReadRemoteInitRequestCode, SendRemoteInitOperation, WriteTrkCfgFromWindow,
    // Sequences in which one reader's answer sets up the next: a poll pass and the start-up.
    PollPassOfInput, SyncAfterIdentity,
};
constexpr size_t OperationCount = sizeof Operations / sizeof Operations[0];

// The input starts with the operation and the worker's state, then holds the answers.
namespace InputAt {
constexpr size_t Operation = 0;
constexpr size_t Channel = 1;        // CurrentChannel and SelectedChannel, negative ones too; pass number
constexpr size_t ChannelCount = 2;   // TrkCfg[0]; also the staged address and bit rate
constexpr size_t SubTrkCfg = 3;      // the whole sub-controller page
constexpr size_t FlowmeterType = SubTrkCfg + kSubTrkCfgSize;  // of every flowmeter record
constexpr size_t Flags = FlowmeterType + 1;
constexpr size_t Answers = Flags + 1;
}  // namespace InputAt

namespace Flag {
constexpr uint8_t KazakhPrice = 1;
constexpr uint8_t TypingTime = 2;
constexpr uint8_t VrxRate = 4;  // the protocol writer then answers in VRX 2.0 framing
constexpr int ColumnsShift = 4; // the rest: channel columns of the main window, 0..15
}  // namespace Flag

// Each answer is a header byte and its bytes. Header bit 0 sends them as they are; otherwise
// the request's address and command come first so that the answer is taken. The other bits
// are the byte count, 127 meaning the rest of the input (for answers of any length).
// A start-up walks some forty exchanges; beyond that the controller falls silent, so that
// an input of empty answers cannot keep a reader asking thousands of times.
class AnswerSource {
public:
    static constexpr int MaxAnswers = 64;

    AnswerSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Exhausted() const { return pos_ >= size_ || answered_ == MaxAnswers; }

    // Not when exhausted. An empty answer is silence.
    std::vector<uint8_t> Next(const std::vector<uint8_t>& request) {
        ++answered_;
        const uint8_t header = data_[pos_++];
        const size_t count = header >> 1 == 127 ? size_ - pos_ : std::min<size_t>(header >> 1, size_ - pos_);
        std::vector<uint8_t> answer;
        if (!(header & 1)) answer.assign(request.begin(), request.begin() + std::min<size_t>(2, request.size()));
        answer.insert(answer.end(), data_ + pos_, data_ + pos_ + count);
        pos_ += count;
        return answer;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    int answered_ = 0;
};

void StageState(TComThread& w, const uint8_t* data) {
    const int8_t channel = int8_t(data[InputAt::Channel]);
    w.CurrentChannel = channel;
    w.SelectedChannel = channel;
    w.TrkCfg[0] = data[InputAt::ChannelCount];
    std::copy_n(data + InputAt::SubTrkCfg, kSubTrkCfgSize, w.SubTrkCfg.begin());
    for (auto& record : w.FlowmeterData) record[FlowmeterDataAt::Type] = data[InputAt::FlowmeterType];
    const uint8_t flags = data[InputAt::Flags];
    w.BitRate = flags & Flag::VrxRate ? 4800 : 9600;
    w.NewAddress = data[InputAt::ChannelCount];
    w.NewBitRate = 300 * int32_t(data[InputAt::ChannelCount]) - 600;
    w.ProtocolType = channel;
    PassNumber = data[InputAt::Channel];
}

uint64_t SteppingClock() {
    // Every status update is due, so that each one shows whatever the throttle's history.
    static uint64_t now = 0;
    return now += 100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < InputAt::Answers) return 0;
    // Millions of exchanges: nothing may pile up in a log or across inputs.
    static bool quiet = (SetExchangeLogPath("/dev/null"), StatusClock = SteppingClock, true);
    (void)quiet;
    std::memset(ComPort.Buffer, 0, sizeof ComPort.Buffer);
    ComPort.Error = 0;
    ComPort.ResultText.clear();

    TRecordingViews views;
    const uint8_t flags = data[InputAt::Flags];
    views.KazakhPrice = flags & Flag::KazakhPrice;
    views.UtcEditActive = flags & Flag::TypingTime;
    views.ChannelColumns = flags >> Flag::ColumnsShift;

    TComThread w(views.Bundle());
    w.FreeOnTerminate = false;
    w.DeviceAddress = 1;
    StageState(w, data);

    AnswerSource answers(data + InputAt::Answers, size - InputAt::Answers);
    TScriptedLine& line = UseScriptedLine();
    line.Responder = [&](const std::vector<uint8_t>& request) {
        if (!answers.Exhausted()) return answers.Next(request);
        // Loops that ask again until they are answered end when the input has run out.
        w.Terminate();
        return std::vector<uint8_t>{};
    };
    Operations[data[InputAt::Operation] % OperationCount](w);
    line.Responder = nullptr;
    return 0;
}
