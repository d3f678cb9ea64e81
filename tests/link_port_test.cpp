// TECOMPort against a pseudo-terminal with a scripted peer, and against a scripted line
// where a pseudo-terminal cannot produce the fault.
#include "link/ComPortUnit.h"
#include "link/FrameCodec.h"
#include "link/ResultCodes.h"
#include "link/VrxFraming.h"
#include "tests/support/HexBytes.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/RecordingSerialLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

constexpr int kPeerWaitMs = 3000;

// Keeps the exchange log of each test in a file of its own.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath_ = std::filesystem::temp_directory_path() /
                   ("ornix-port-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
        SetExchangeLogPath(logPath_.string());
        ASSERT_TRUE(peer_.IsOpen());
        port_.PortName = peer_.PortName();
    }
    void TearDown() override {
        peer_.Join();
        port_.Close();
        SetExchangeLogPath("");
        std::filesystem::remove(logPath_);
    }
    void OpenPort(uint32_t readTimeoutMs = 300) {
        ASSERT_EQ(port_.Open(), 0) << port_.ResultText;
        port_.SetReadTimeout(readTimeoutMs);
    }
    // The peer answers the next request frame with `reply`, split into `chunk`-byte writes.
    void AnswerNextRequest(Bytes reply, size_t chunk = 0) {
        peer_.Run([reply, chunk](PtyPeer& p) {
            p.ReadUntil(kFrameEnd, kPeerWaitMs);
            if (chunk == 0) {
                p.Write(reply);
                return;
            }
            for (size_t i = 0; i < reply.size(); i += chunk) {
                p.Write(Bytes(reply.begin() + i, reply.begin() + std::min(reply.size(), i + chunk)));
                std::this_thread::sleep_for(milliseconds(3));
            }
        });
    }

    PtyPeer peer_;
    TECOMPort port_;
    std::filesystem::path logPath_;
};

TEST_F(PortTest, OpenFailsForMissingOrBusyPort) {
    TECOMPort missing;
    missing.PortName = "ttyNoSuchPort0";
    EXPECT_EQ(missing.Open(), 1);
    EXPECT_EQ(missing.ResultText, "Не могу открыть ttyNoSuchPort0");

    OpenPort();
    EXPECT_EQ(port_.ResultText, "OK");
    TECOMPort second;
    second.PortName = "/dev/" + peer_.PortName();  // an absolute name is used as it stands
    EXPECT_EQ(second.Open(), 1);
    EXPECT_EQ(second.ResultText, "Не могу открыть /dev/" + peer_.PortName());

    // Closing gives the port back, to the same object and to another.
    port_.Close();
    EXPECT_EQ(second.Open(), 0);
    second.Close();
    EXPECT_EQ(port_.Open(), 0);
}

TEST(LineFormat, FollowsTheBitRate) {
    struct Case {
        int rate, dataBits;
        bool evenParity;
        int stopBits;
    };
    for (const Case c : {Case{4800, 7, true, 2}, Case{9600, 8, false, 1}, Case{115200, 8, false, 1}}) {
        const LineFormat f = LineFormatFor(c.rate);
        EXPECT_EQ(f.bitRate, c.rate);
        EXPECT_EQ(f.dataBits, c.dataBits) << c.rate;
        EXPECT_EQ(f.evenParity, c.evenParity) << c.rate;
        EXPECT_EQ(f.stopBits, c.stopBits) << c.rate;
    }
}

TEST_F(PortTest, BitRateReachesTheLine) {
    OpenPort();
    EXPECT_EQ(port_.GetBitRate(), 9600);
    // A pseudo-terminal forces 8 data bits without parity, but keeps speed and stop bits,
    // and its master reports what the port gave the slave.
    termios tio{};
    for (const int rate : {4800, 19200, 9600}) {
        port_.SetBitRate(rate);
        EXPECT_EQ(port_.GetBitRate(), rate);
        ASSERT_EQ(tcgetattr(peer_.MasterFd(), &tio), 0);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, rate == 4800) << rate;
    }
    port_.Close();
    EXPECT_EQ(port_.GetBitRate(), 0);
}

TEST_F(PortTest, ExchangeOutcomes) {
    struct Case {
        const char* name;
        Bytes request;
        Bytes reply;
        size_t chunk;
        int error;
        int answerLength;
        const char* text;
    };
    const Case cases[] = {
        {"success", FromHex("01 08"), BuildFrame(FromHex("01 08 00 11 22 33 44")), 0, 0, 7, "OK"},
        {"trickled byte by byte", FromHex("01 08"), BuildFrame(FromHex("01 08 00 C0 D0 C0")), 1, 0, 6, "OK"},
        {"result code", FromHex("01 C8 01"), BuildFrame(FromHex("01 C8 BA")), 0, 186, 3,
         "Ошибка 186: Параметры дозы не загружены"},
        {"wrong echo", FromHex("01 08"), BuildFrame(FromHex("01 09 00 00 00 00 00")), 0, kWrongEcho, 7,
         "Неверный код команды в ответе"},
        {"no terminator", FromHex("01 08"), FromHex("01 08 00 11"), 0, kNoFrameEnd, 2, "Нет конца пакета"},
        {"only the terminator", FromHex("01 08"), FromHex("C0"), 0, kNoAnswer, 0, "Нет ответа"},
        {"bad CRC", FromHex("01 08"), FromHex("01 08 00 11 22 C0"), 0, kBadCrc, 3, "Не сошлось CRC"},
        {"four bytes", FromHex("01 08"), FromHex("01 08 00 00 C0"), 0, kWrongLength, 2,
         "Неверная длина ответа: 2 байт."},
        {"two bytes", FromHex("01 08"), FromHex("01 08 C0"), 0, kWrongLength, 0, "Неверная длина ответа"},
    };
    OpenPort(150);
    for (const auto& c : cases) {
        AnswerNextRequest(c.reply, c.chunk);
        Bytes buffer(256);
        std::copy(c.request.begin(), c.request.end(), buffer.begin());
        port_.Exchange(buffer.data(), static_cast<int>(c.request.size()));
        peer_.Join();
        EXPECT_EQ(port_.Error, c.error) << c.name;
        EXPECT_EQ(port_.AnswerLength, c.answerLength) << c.name;
        EXPECT_EQ(port_.ResultText, c.text) << c.name;
        EXPECT_EQ(port_.LastCommand, c.request[1]) << c.name;
        EXPECT_FALSE(port_.Sending) << c.name;
    }
}

TEST_F(PortTest, SilenceEndsAfterTheReadTimeout) {
    OpenPort(200);
    uint8_t buffer[256] = {1, 8};
    const auto start = std::chrono::steady_clock::now();
    port_.Exchange(buffer, 2);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(port_.Error, kNoAnswer);
    EXPECT_EQ(port_.ResultText, "Нет ответа");
    EXPECT_GE(waited, milliseconds(195));
    EXPECT_LT(waited, milliseconds(5000));
}

TEST_F(PortTest, LineGetsTheReadAndWriteTimeOuts) {
    auto owned = std::make_unique<RecordingSerialLine>();
    RecordingSerialLine& line = *owned;
    port_.SetLine(std::move(owned));
    ASSERT_EQ(port_.Open(), 0) << port_.ResultText;
    struct Case {
        int readTimeoutMs;  // -1: as Open left it
        const char* request;
        int readWaitMs;     // one byte's read: the constant plus 2 ms
    };
    const Case cases[] = {
        {-1, "01 08", 102},
        {500, "01 D1 00 01 02 03 04 05 06 07 08 09", 502},
        {0, "01 08", 0},  // no constant, no per-byte share either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        if (c.readTimeoutMs >= 0) port_.SetReadTimeout(uint32_t(c.readTimeoutMs));
        const Bytes request = FromHex(c.request);
        uint8_t buffer[256] = {};
        std::copy(request.begin(), request.end(), buffer);
        port_.Exchange(buffer, int(request.size()));  // the peer stays silent

        const auto requests = line.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().Content, request);
        EXPECT_EQ(requests.back().TimeoutMs, 1000 + 2 * int(BuildFrame(request).size()));
        const auto waits = line.ReadWaitsMs();
        ASSERT_FALSE(waits.empty());
        EXPECT_EQ(waits.back(), c.readWaitMs);
    }
}

TEST_F(PortTest, TooLongRequestWritesNothingAndKeepsTheErrorState) {
    OpenPort(50);
    Bytes request(1024, 0x11);
    for (int sendBuffer = 0; sendBuffer < 2; ++sendBuffer) {
        port_.Error = 77;
        port_.ResultText = "before";
        if (sendBuffer) port_.SendBuffer(1024);
        else port_.Send(request.data(), 1024);
        EXPECT_EQ(port_.Error, 77);
        EXPECT_EQ(port_.ResultText, "before");
    }
    port_.Error = 0;
    port_.Exchange(request.data(), 1024);  // no request went out, so no answer is awaited
    EXPECT_EQ(port_.Error, 0);
    EXPECT_TRUE(peer_.ReadCount(1, 100).empty());
}

TEST_F(PortTest, LongAnswerOverflowsCallersBufferButFitsThePortBuffer) {
    Bytes content(298, 0x55);
    content[0] = 1;
    content[1] = 8;
    content[2] = 0;
    const Bytes reply = BuildFrame(content);
    ASSERT_GE(reply.size(), 300u);
    OpenPort(150);

    AnswerNextRequest(reply);
    Bytes buffer(256);
    buffer[0] = 1;
    buffer[1] = 8;
    port_.Exchange(buffer.data(), 2);
    peer_.Join();
    EXPECT_EQ(port_.Error, kReceiverOverflow);
    EXPECT_EQ(port_.ResultText, "Буфер приёмника переполнен");

    port_.Close();  // the rest of the answer is purged by the next open
    OpenPort(150);
    AnswerNextRequest(reply);
    port_.Buffer[0] = 1;
    port_.Buffer[1] = 8;
    port_.ExchangeBuffer(2);
    peer_.Join();
    EXPECT_EQ(port_.Error, 0) << port_.ResultText;
    EXPECT_EQ(port_.AnswerLength, 298);
    EXPECT_EQ(port_.Buffer[297], 0x55);
}

TEST_F(PortTest, LateAnswerIsReadAsTheNextAnswer) {
    OpenPort(100);
    peer_.Run([](PtyPeer& p) {
        p.ReadUntil(kFrameEnd, kPeerWaitMs);
        std::this_thread::sleep_for(milliseconds(300));  // after the port gave up
        p.Write(BuildFrame(FromHex("01 08 00 AA BB")));
    });
    uint8_t buffer[256] = {1, 8};
    port_.Exchange(buffer, 2);
    EXPECT_EQ(port_.Error, kNoAnswer);
    peer_.Join();

    uint8_t next[256] = {1, 8};
    port_.Exchange(next, 2);
    EXPECT_EQ(port_.Error, 0);
    EXPECT_EQ(ToHex(next, port_.AnswerLength), "01 08 00 AA BB");
}

TEST_F(PortTest, HungUpLineEndsTheExchangeInsteadOfSpinning) {
    // An unplugged USB adapter hangs its tty up: from then on it polls readable and reads nothing.
    const int other = ::open(("/dev/" + peer_.PortName()).c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    OpenPort(200);
    const int hungUp = ioctl(other, TIOCVHANGUP);
    ::close(other);
    if (hungUp != 0) GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN";
    uint8_t answer[256];
    port_.Receive(answer, 256);
    EXPECT_EQ(port_.Error, kNoAnswer);
    uint8_t request[256] = {1, 8};
    port_.Exchange(request, 2);
    EXPECT_EQ(port_.Error, kWriteFailed);  // and so the poll stops
}

TEST_F(PortTest, VrxProbeAnsweredByALoneAck) {
    OpenPort(100);
    port_.SetBitRate(4800);
    Bytes frame;
    peer_.Run([&frame](PtyPeer& p) {
        frame = p.ReadCount(9, kPeerWaitMs);
        p.Write({kVrxAck});
    });
    const uint8_t probe[] = {1, '1'};
    port_.SendVrx(probe, 2);
    EXPECT_TRUE(port_.Sending);
    uint8_t answer[256];
    EXPECT_EQ(port_.ReceiveVrx(answer, 256), 1);
    peer_.Join();
    EXPECT_EQ(ToHex(frame), "7F 02 21 5E 31 4E 03 03 53");
    EXPECT_EQ(port_.Error, 0);
    EXPECT_EQ(port_.AnswerLength, 0);
    EXPECT_EQ(port_.ResultText, "");
}

TEST_F(PortTest, VrxAnswersAndTheirTexts) {
    struct Case {
        Bytes reply;
        int error;
        int count;
        const char* text;
    };
    const Bytes good = BuildVrxAnswer(0x02, {'9', '1'});
    Bytes badSum = good;
    badSum.back() ^= 1;
    const Case cases[] = {
        {good, 0, static_cast<int>(good.size()), ""},
        {badSum, kBadCrc, static_cast<int>(good.size()), "Ошибка -2: "},
        {FromHex("02 31 00 03 03 72"), kBadVrxByte, 6, "Ошибка -7: "},
        {FromHex("02 31 4E"), kNoFrameEnd, 3, "Нет конца пакета"},
        {FromHex("7F"), kNoAnswer, 1, "Нет ответа"},
    };
    OpenPort(80);
    port_.SetBitRate(4800);
    for (const auto& c : cases) {
        peer_.Run([&c](PtyPeer& p) {
            p.ReadCount(9, kPeerWaitMs);
            p.Write(c.reply);
        });
        const uint8_t probe[] = {1, '1'};
        port_.SendVrx(probe, 2);
        uint8_t answer[256];
        EXPECT_EQ(port_.ReceiveVrx(answer, 256), c.count) << ToHex(c.reply);
        peer_.Join();
        EXPECT_EQ(port_.Error, c.error) << ToHex(c.reply);
        EXPECT_EQ(port_.ResultText, c.text) << ToHex(c.reply);
    }
}

// A line that takes only part of each write and plays back scripted answer bytes.
class ScriptedLine : public SerialLine {
public:
    ScriptedLine(int acceptBytes, Bytes answer) : accept_(acceptBytes), answer_(answer.begin(), answer.end()) {}
    bool Open(const std::string&) override { return open_ = true; }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    void SetFormat(const LineFormat& f) override { rate_ = f.bitRate; }
    int BitRate() const override { return rate_; }
    bool ReadByte(uint8_t& byte, int) override {
        if (answer_.empty()) return false;
        byte = answer_.front();
        answer_.pop_front();
        return true;
    }
    int Write(const uint8_t*, int length, int) override { return std::min(length, accept_); }
    void Purge() override {}

private:
    bool open_ = false;
    int rate_ = 0;
    int accept_;
    std::deque<uint8_t> answer_;
};

TEST(PortWrites, PartialWriteFailsOnlyForTheWholeFrameRule) {
    struct Case {
        int accepted;
        bool sendBuffer;
        int error;
    };
    const Case cases[] = {
        {3, false, 0}, {3, true, kWriteFailed}, {0, false, kWriteFailed}, {0, true, kWriteFailed}, {100, true, 0},
    };
    for (const auto& c : cases) {
        TECOMPort port;
        port.SetLine(std::make_unique<ScriptedLine>(c.accepted, Bytes{}));
        ASSERT_EQ(port.Open(), 0);
        const uint8_t request[] = {1, 8};
        port.Buffer[0] = 1;
        port.Buffer[1] = 8;
        if (c.sendBuffer) port.SendBuffer(2);
        else port.Send(request, 2);
        EXPECT_EQ(port.Error, c.error) << c.accepted << " " << c.sendBuffer;
        EXPECT_EQ(port.ResultText, c.error ? "Не могу записать данные в COM-порт\r\n" : "OK");
        // A send that went out waits for its answer; a failed one is over.
        EXPECT_EQ(port.Sending, c.error == 0);
    }
}

TEST(PortWrites, FailedWriteSkipsTheReceive) {
    TECOMPort port;
    port.SetLine(std::make_unique<ScriptedLine>(0, BuildFrame(FromHex("01 08 00"))));
    ASSERT_EQ(port.Open(), 0);
    port.AnswerLength = 9;
    uint8_t buffer[256] = {1, 8};
    port.Exchange(buffer, 2);
    EXPECT_EQ(port.Error, kWriteFailed);
    EXPECT_EQ(port.AnswerLength, 9);  // no receive ran
    EXPECT_FALSE(port.Sending);       // so the failure is not dropped as an announcement
}

TEST(PortReceive, WrongLengthTextsDependOnTheBuffer) {
    struct Case {
        const char* reply;
        bool portBuffer;
        const char* text;
    };
    const Case cases[] = {
        {"01 08 00 C0", false, "Неверная длина ответа: 1 байт."},
        {"01 08 00 C0", true, "Неверная длина ответа"},
        {"01 08 C0", false, "Неверная длина ответа"},
    };
    for (const auto& c : cases) {
        TECOMPort port;
        port.SetLine(std::make_unique<ScriptedLine>(100, FromHex(c.reply)));
        ASSERT_EQ(port.Open(), 0);
        uint8_t buffer[256];
        if (c.portBuffer) port.ReceiveBuffer();
        else port.Receive(buffer, 256);
        EXPECT_EQ(port.Error, kWrongLength) << c.reply;
        EXPECT_EQ(port.ResultText, c.text) << c.reply;
    }
    TECOMPort port;
    port.AnswerLength = 5;
    port.ReportWrongLength(20);
    EXPECT_EQ(port.Error, kWrongLength);
    EXPECT_EQ(port.ResultText, "Неверная длина ответа: 5 байт. Должно быть 20 байт.");
}

}  // namespace
