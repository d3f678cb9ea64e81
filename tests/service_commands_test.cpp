// Pin test, SD card and memory dump: the decoders as tables, the operations against scripted
// answers and against ornix-sim.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands/MemoryCommands.h"
#include "commands/ServiceCommands.h"
#include "commands/TimeCommands.h"
#include "link/FrameCodec.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "sim/SimBus.h"
#include "sim/SimOptions.h"
#include "tests/support/HexBytes.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/ScriptedWorker.h"
#include "tests/support/SimHarness.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The recording views plus what the pin test and explorer display steps hand over.
struct ServiceViews : TRecordingViews {
    std::vector<std::array<uint8_t, kMcuPinCount>> PinResults;
    std::vector<std::string> Entries;
    bool Listed = false;
    std::vector<uint32_t> Sizes;
    std::vector<int> Chunks;  // chunk lengths, in order
    std::string FileText;
    std::string FileBytes;  // the copy: every byte as the card holds it

    void ShowPinTestResult(const std::array<uint8_t, kMcuPinCount>& r) override { PinResults.push_back(r); }
    void ShowSdEntries(const std::vector<std::string>& names) override { Entries = names, Listed = true; }
    void StartSdFile(uint32_t size) override { Sizes.push_back(size), FileText.clear(), FileBytes.clear(); }
    void AppendSdFileBytes(const std::string& bytes) override { FileBytes += bytes; }
    void AppendSdFileChunk(const std::string& text, int length, uint32_t) override {
        Chunks.push_back(length);
        FileText += text;
    }
};

TEST(SdListing, ParsedOnlyWithinTheAnswer) {
    struct Case {
        const char* what;
        const char* answer;
        std::vector<std::string> names;
    } cases[] = {
        {"no count", "01 E4 00", {}},
        {"empty card", "01 E4 00 00 00", {}},
        {"two entries", "01 E4 00 02 00 01 41 2E 54 00 02 42 00", {"A.T", "B"}},
        {"count beyond the answer", "01 E4 00 FF FF 01 41 00 01 42 00", {"A", "B"}},
        {"last name without its zero", "01 E4 00 02 00 01 41 00 01 42 43", {"A"}},
        {"answer ends at a type byte", "01 E4 00 02 00 01 41 00 01", {"A"}},
        {"Windows-1251 name", "01 E4 00 01 00 01 C6 D3 D0 CD C0 CB 2E 4C 4F 47 00", {"ЖУРНАЛ.LOG"}},
        {"the byte without a character", "01 E4 00 01 00 01 98 41 98 00", {"\uF898A\uF898"}},
    };
    for (const Case& c : cases) {
        const Bytes answer = FromHex(c.answer);
        EXPECT_EQ(ParseSdListing(answer), c.names) << c.what;
    }
    // Every name is asked for with the bytes the card gave.
    ScriptedWorker w;
    w->SdFilePath = ParseSdListing(FromHex("01 E4 00 01 00 01 98 C6 2E 98 00"))[0];
    EXPECT_EQ(w.Run(ReadSdCardFile, "01 E4 C1"), "01 E4 08 FF FF FF FF 00 00 98 C6 2E 98 00");
    EXPECT_EQ(SdChunkText(FromHex("41 E0 00 42")), "Aа");
    EXPECT_EQ(SdChunkText({}), "");
}

// Records: u16 length, u32 ticks, u8 direction, data.
Bytes Record(uint16_t n, uint32_t ticks, uint8_t direction, Bytes data = {}) {
    data.insert(data.begin(), {uint8_t(n), uint8_t(n >> 8), uint8_t(ticks), uint8_t(ticks >> 8),
                               uint8_t(ticks >> 16), uint8_t(ticks >> 24), direction});
    return data;
}
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(MemoryDump, DecodedLineByLine) {
    struct Case {
        const char* what;
        Bytes image;
        std::vector<std::string> lines;
    } cases[] = {
        {"length 0, then the next 7 bytes on", Join({Record(0, 9, 0), Record(0, 4, 1), {0xFF, 0xFF}}),
         {"20 Req: \r\n", "8 Ans: \r\n"}},
        {"first length 129", Join({Record(129, 9, 0, Bytes(129, 1))}), {}},
        {"end marker after a record", Join({Record(2, 90, 5, {0xAB, 0x0C}), Record(0x81, 1, 0)}), {"200 Ans: AB 0C \r\n"}},
        {"ticks in 64 bits", Record(1, 0xFFFFFFFF, 0, {0x01}), {"9544371766 Req: 01 \r\n"}},
        {"data past the end", Record(3, 1, 0, {0x01, 0x02}), {}},
        {"header past the end", Join({Record(0, 1, 0), {0x00, 0x00, 0x01}}), {"2 Req: \r\n"}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeMemoryImage(c.image), c.lines) << c.what;

    // 135 bytes a record: the record at 65475 would end beyond the image.
    Bytes full(kMemorySize);
    const Bytes record = Record(128, 1, 0, Bytes(128, 0x55));
    for (size_t at = 0; at < full.size(); at += record.size())
        std::copy_n(record.begin(), std::min(record.size(), full.size() - at), full.begin() + long(at));
    EXPECT_EQ(DecodeMemoryImage(full).size(), 485u);
    // A reading that stopped after 8 pieces decodes the 7 records that lie wholly in them.
    EXPECT_EQ(DecodeMemoryImage({full.data(), 8 * size_t(kMemoryPiece)}).size(), 7u);
}

TEST(PinTest, AnswerLengths) {
    ScriptedWorker w;
    ServiceViews views;
    w->Ui = views.Bundle();
    const std::string pins = ToHex(Bytes(76, 0xFF));
    EXPECT_EQ(w.Run(TestMcuPins, "01 E4 00 " + pins), "01 E4 05");
    ASSERT_EQ(views.PinResults.size(), 1u);
    EXPECT_EQ(w->CommandStatusText, "Тест ног процессора...OK");

    w->PollStatusText = "Чтение времени...OK";
    w.Run(TestMcuPins, "01 E4 00 " + ToHex(Bytes(75, 0xFF)));
    EXPECT_EQ(views.PinResults.size(), 1u);
    EXPECT_EQ(w->PollStatusText, "Чтение времени...OKНеверная длина ответа");

    w.Run(TestMcuPins, "01 E4 12");
    EXPECT_EQ(views.PinResults.size(), 1u);
    EXPECT_EQ(w->PollStatusText, "Чтение времени...OKНеверная длина ответа");
}

// Operations against ornix-sim over a recording line, so a test reads the requests back.
class ServiceE2e : public ::testing::Test {
protected:
    void TearDown() override {
        ComPort.Close();
        ComPort.SetLine(nullptr);
    }
    void Start(const std::vector<std::string>& options, const std::function<void(ControllerState&)>& change = {}) {
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        if (change) change(config.Controller);
        sim = std::make_unique<SimHarness>(config);
        ASSERT_TRUE(sim->Started());
        line = &UseRecordingLine();
        ComPort.PortName = sim->PortName();
        ASSERT_EQ(ComPort.Open(), 0) << ComPort.ResultText;
        ComPort.SetBitRate(9600);
        ComPort.Error = 0;
        worker.DeviceAddress = 1;
    }
    // Chunk requests (offset, length) sent for the file reads so far.
    std::vector<std::pair<uint32_t, uint16_t>> FileRequests() const {
        std::vector<std::pair<uint32_t, uint16_t>> sent;
        for (const auto& r : line->Requests()) {
            const Bytes& c = r.Content;
            if (c.size() >= 10 && c[1] == 228 && c[2] == 8)
                sent.push_back({uint32_t(c[3] | c[4] << 8 | c[5] << 16 | uint32_t(c[6]) << 24), uint16_t(c[7] | c[8] << 8)});
        }
        return sent;
    }

    ServiceViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;
    RecordingSerialLine* line = nullptr;
};

Bytes Text(size_t n, char first = 'a') {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(first + i % 26);
    return b;
}

TEST_F(ServiceE2e, FilesReadInChunks) {
    Bytes withZero = Text(2000);
    withZero[800] = 0;  // inside the second chunk
    Start({}, [&](ControllerState& s) {
        s.Service.SdFiles = {{"EMPTY.TXT", {}}, {"ODD.TXT", Text(1537)}, {"ZERO.TXT", withZero}};
    });
    ReadSdCardDirectory(worker);
    EXPECT_EQ(views.Entries, (std::vector<std::string>{"EMPTY.TXT", "ODD.TXT", "ZERO.TXT"}));

    worker.SdFilePath = "EMPTY.TXT";
    ReadSdCardFile(worker);
    EXPECT_EQ(views.Sizes, std::vector<uint32_t>{0});
    EXPECT_TRUE(views.Chunks.empty());
    EXPECT_EQ(FileRequests().size(), 1u);

    worker.SdFilePath = "odd.txt";
    ReadSdCardFile(worker);
    using Sent = std::vector<std::pair<uint32_t, uint16_t>>;
    EXPECT_EQ(FileRequests(), (Sent{{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0, 768}, {768, 768}, {1536, 1}}));
    EXPECT_EQ(views.Chunks, (std::vector<int>{768, 768, 1}));
    const Bytes odd = Text(1537);
    EXPECT_EQ(views.FileText, std::string(odd.begin(), odd.end()));
    EXPECT_EQ(worker.CommandStatusText, "Чтение файла SD-карты...OK");

    views.Chunks.clear();
    worker.SdFilePath = "ZERO.TXT";
    ReadSdCardFile(worker);
    EXPECT_EQ(views.Chunks, (std::vector<int>{768, 768, 464}));
    const std::string whole(withZero.begin(), withZero.end());
    EXPECT_EQ(views.FileText, whole.substr(0, 768) + whole.substr(768, 32) + whole.substr(1536));
    EXPECT_EQ(views.FileBytes, whole);  // the copy keeps what the text view cuts at a zero

    // A file the card does not have: the controller's reason, the text left as it was.
    worker.SdFilePath = "NONE.TXT";
    ReadSdCardFile(worker);
    EXPECT_EQ(worker.CommandStatusText, "Чтение файла SD-карты...Ошибка 193: Ошибка SD-карты");
    EXPECT_EQ(views.Sizes.size(), 3u);
}

// Every byte of the card's file, whatever it is, and nothing the controller adds beyond its size;
// the longest name one request holds is asked for, a longer one is not.
TEST(SdFileCopy, BytesExactlyAndNamesUpToOneRequest) {
    ScriptedWorker w;
    ServiceViews views;
    w->Ui = views.Bundle();
    w.Line.Answer("01 E4 00 05 00 00 00");                        // size 5
    w.Line.Answer("01 E4 00 00 00 00 00 05 00 98 00 0A FF 41 42");  // 6 bytes for 5
    w->SdFilePath = "A.BIN";
    ReadSdCardFile(*w);
    EXPECT_EQ(views.FileBytes, std::string("\x98\x00\x0A\xFF\x41", 5));
    EXPECT_EQ(views.Chunks, std::vector<int>{6});

    const size_t longest = size_t(kMaxRequestContent) - 10;  // address .. length, the name, its zero byte
    for (const size_t n : {longest, longest + 1}) {
        w->SdFilePath = std::string(n, 'N');
        w.Line.Requests.clear();
        w.Line.Answers.clear();
        w.Line.Answer("01 E4 C1");  // the card has no such file: no wait for silence
        ReadSdCardFile(*w);
        EXPECT_EQ(w.Line.Requests.size(), n == longest ? 1u : 0u) << n;
    }
}

TEST_F(ServiceE2e, PinShortsAndAnEmptyCard) {
    Start({"--pin-short", "8=10", "--pin-short", "6=gnd", "--sd-empty"});
    TestMcuPins(worker);
    ASSERT_EQ(views.PinResults.size(), 1u);
    EXPECT_EQ(views.PinResults[0][8], 10);
    EXPECT_EQ(views.PinResults[0][6], 254);
    EXPECT_EQ(views.PinResults[0][7], 255);
    ReadSdCardDirectory(worker);
    EXPECT_TRUE(views.Listed);
    EXPECT_TRUE(views.Entries.empty());
}

// Runs in a scratch working directory, where "VRX.log" belongs.
class MemoryE2e : public ServiceE2e {
protected:
    void SetUp() override {
        home = fs::current_path();
        dir = fs::temp_directory_path() / ("ornix-vrx-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(home);
        fs::remove_all(dir);
        ServiceE2e::TearDown();
    }
    static std::vector<std::string> DumpLines() {
        std::ifstream in("VRX.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    Bytes SimMemory() {
        return sim->WithBus([](SimBus& bus) { return bus.Main().State.Service.Memory.Bytes; });
    }
    fs::path home, dir;
};

TEST_F(MemoryE2e, DumpedIntoVrxLogAndCleared) {
    Start({});
    std::ofstream("VRX.log") << "old dump\r\n";
    for (int i = 0; i < 3; ++i) ReadTime(worker);
    const Bytes memory = SimMemory();
    ReadMemory(worker);
    EXPECT_EQ(worker.CommandStatusText, "Чтение памяти 65408...OK");
    EXPECT_EQ(line->Requests().size(), 3u + 512u);

    const std::vector<std::string> lines = DumpLines();
    const std::vector<std::string> expected = DecodeMemoryImage(memory);
    ASSERT_EQ(lines.size(), 6u);  // three requests and their answers
    for (size_t i = 0; i < lines.size(); ++i) {
        // "<date> <time> " in front, the line itself after it.
        EXPECT_TRUE(lines[i].ends_with(expected[i].substr(0, expected[i].size() - 1))) << lines[i];
        EXPECT_NE(lines[i].find(i % 2 ? " Ans: 01 08 00 " : " Req: 01 08 \r"), std::string::npos) << lines[i];
    }

    ClearMemory(worker);
    EXPECT_EQ(worker.CommandStatusText, "Очистка памяти ...OK");
    // Only the clearing exchange itself is recorded after it.
    EXPECT_EQ(DecodeMemoryImage(SimMemory()).size(), 2u);
}

// The last dump is replaced only by a new one: a reading that got nothing leaves it, an empty
// memory read to its end is an empty dump.
TEST_F(MemoryE2e, TheOldDumpGoesOnlyForANewOne) {
    Start({});
    struct Case { const char* what; uint8_t address; std::string dump; } cases[] = {
        {"nobody answers", 9, "old dump\r\n"},
        {"an empty memory", 1, ""},
    };
    for (const Case& c : cases) {
        std::ofstream("VRX.log", std::ios::binary) << "old dump\r\n";
        worker.DeviceAddress = c.address;
        ReadMemory(worker);
        std::ifstream in("VRX.log", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.dump) << c.what;
        EXPECT_FALSE(fs::exists("VRX.log.new")) << c.what;
    }
}

TEST_F(MemoryE2e, ReadingStoppedEarlyDecodesOnlyWhatWasRead) {
    Start({});
    for (int i = 0; i < 12; ++i) ReadTime(worker);
    const Bytes memory = SimMemory();
    worker.Terminate();  // asked to stop: the first piece is the last
    ReadMemory(worker);
    EXPECT_EQ(line->Requests().size(), 12u + 1u);
    EXPECT_EQ(DumpLines().size(), DecodeMemoryImage({memory.data(), size_t(kMemoryPiece)}).size());
    EXPECT_LT(DumpLines().size(), 24u);
}

}  // namespace
