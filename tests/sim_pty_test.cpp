// The tool's own port against the simulator over a real pseudo-terminal.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include <gtest/gtest.h>

#include "link/ComPortUnit.h"
#include "link/ProtocolConstants.h"
#include "sim/SimOptions.h"
#include "tests/support/SimHarness.h"

namespace {

SimConfig ConfigFrom(const std::vector<std::string>& args) {
    SimConfig c;
    std::string error;
    EXPECT_TRUE(ParseSimArguments(args, c, error)) << error;
    return c;
}

struct Link {
    SimHarness sim;
    TECOMPort port;
    uint8_t buf[256] = {};

    explicit Link(const SimConfig& config = {}, int bitRate = 9600) : sim(config) {
        port.PortName = sim.PortName();
        EXPECT_EQ(port.Open(), 0) << port.ResultText;
        port.SetBitRate(bitRate);
        port.SetReadTimeout(200);
    }
    ~Link() { port.Close(); }

    int Exchange(std::initializer_list<uint8_t> request) {
        std::copy(request.begin(), request.end(), buf);
        port.Exchange(buf, int(request.size()));
        return port.Error;
    }
    int Vrx(const std::string& chars, uint8_t address = 1) {
        uint8_t rq[64] = {address};
        std::copy(chars.begin(), chars.end(), rq + 1);
        port.SendVrx(rq, int(chars.size() + 1));
        return port.ReceiveVrx(buf, 256);
    }
};

TEST(SimOverPty, IdentificationAt9600) {
    Link l;
    ASSERT_EQ(l.Exchange({1, 0, 0}), 0) << l.port.ResultText;
    EXPECT_EQ(l.port.AnswerLength, 27);
    EXPECT_EQ(l.buf[3] | l.buf[4] << 8, 33);
    EXPECT_EQ(l.port.ResultText, "OK");
}

TEST(SimOverPty, OtherRateIsNotHeard) {
    Link l({}, 19200);
    EXPECT_EQ(l.Exchange({1, 0, 0}), -1);
    EXPECT_EQ(l.port.ResultText, "Нет ответа");
}

TEST(SimOverPty, BitRateChangeTakesEffectAfterTheAnswer) {
    Link l;
    ASSERT_EQ(l.Exchange({1, 145, kCommand145Code[0], kCommand145Code[1], kCommand145Code[2],
                          kCommand145Code[3], 48}),
              0)
        << l.port.ResultText;
    EXPECT_EQ(l.Exchange({1, 8}), -1);
    l.port.SetBitRate(19200);
    EXPECT_EQ(l.Exchange({1, 8}), 0) << l.port.ResultText;
    EXPECT_EQ(l.sim.MainState().BitRate, 19200);
}

TEST(SimOverPty, AddressChangeThenNewAddress) {
    Link l;
    ASSERT_EQ(l.Exchange({1, 34, 17}), 0);
    EXPECT_EQ(l.Exchange({1, 8}), -1);
    EXPECT_EQ(l.Exchange({17, 8}), 0);
}

TEST(SimOverPty, VrxProbeAndProtocolSwitchAt4800) {
    Link l(ConfigFrom({"--baud", "4800"}), 4800);
    EXPECT_GT(l.Vrx("1"), 0);
    EXPECT_EQ(l.port.Error, 0);
    EXPECT_GT(l.port.AnswerLength, 1);

    std::string code(kVrxProtocolFunctionCode.begin(), kVrxProtocolFunctionCode.end());
    EXPECT_GT(l.Vrx(code + "2"), 0);
    EXPECT_EQ(l.port.Error, 0);
    ASSERT_EQ(l.port.AnswerLength, 8);
    EXPECT_TRUE(std::equal(kVrxProtocolConfirmation.begin(), kVrxProtocolConfirmation.end(), l.buf + 1));
    EXPECT_EQ(l.sim.MainState().ProtocolType, 2);

    EXPECT_EQ(l.Vrx("1", 2), 0);  // nobody at 2
    EXPECT_EQ(l.port.Error, -1);
}

TEST(SimOverPty, EachFaultOptionGivesItsError) {
    struct Case {
        std::vector<std::string> args;
        int error;
    } cases[] = {
        {{"--drop", "100"}, -1},
        {{"--bad-crc", "100"}, -2},
        {{"--cut", "100"}, -3},
        {{"--wrong-echo", "100"}, -8},
        {{"--result", "8:186"}, 186},
        {{"--result", "8:250"}, 250},
    };
    for (const Case& k : cases) {
        Link l(ConfigFrom(k.args));
        EXPECT_EQ(l.Exchange({1, 8}), k.error) << k.args[0];
    }
}

TEST(SimOverPty, LateAnswerIsReadAsTheNextOne) {
    Link l(ConfigFrom({"--late", "100"}));
    EXPECT_EQ(l.Exchange({1, 8}), -1);
    // The answer to the time read turns up now: wrong echo for an identification.
    EXPECT_EQ(l.Exchange({1, 0, 0}), -8);
    EXPECT_EQ(l.port.AnswerLength, 9);
}

TEST(SimOverPty, TwoDevicesAtOneAddressGiveAnError) {
    Link l(ConfigFrom({"--twin"}));
    int error = l.Exchange({1, 0, 0});
    EXPECT_NE(error, 0);
    EXPECT_NE(error, -1);
}

TEST(SimOverPty, SecondControllerAnswersAtItsRate) {
    Link l(ConfigFrom({"--second", "9:38400"}), 38400);
    EXPECT_EQ(l.Exchange({1, 0, 0}), -1);
    EXPECT_EQ(l.Exchange({9, 0, 0}), 0);
}

TEST(SimOverPty, ToolCanCloseAndReopenThePort) {
    Link l;
    for (int i = 0; i < 3; ++i) {
        l.port.Close();
        ASSERT_EQ(l.port.Open(), 0) << l.port.ResultText;
        l.port.SetReadTimeout(200);
        EXPECT_EQ(l.Exchange({1, 8}), 0) << "round " << i;
    }
}

TEST(SimOverPty, PacedAnswerTakesItsLineTime) {
    Link l(ConfigFrom({"--pace"}));
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(l.Exchange({1, 0, 0}), 0);
    auto took = std::chrono::steady_clock::now() - start;
    // 30 bytes at 9600 8N1 are 31 ms on the wire; only a lower bound is safe to check.
    EXPECT_GE(took, std::chrono::milliseconds(28));
}

int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

TEST(SimLifecycle, StartAndStopLeakNothing) {
    { SimHarness warmUp; }  // first use may open lasting things (locale, logs)
    int fds = CountEntries("/proc/self/fd");
    int threads = CountEntries("/proc/self/task");
    for (int i = 0; i < 30; ++i) {
        SimHarness sim;
        ASSERT_TRUE(sim.Started());
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

TEST(SimLifecycle, LinkPointsAtThePortAndGoesAwayAtStop) {
    std::string dir = ::testing::TempDir();
    SimConfig c;
    c.LinkPath = dir + "ornix-sim-link-test";
    ::unlink(c.LinkPath.c_str());
    {
        SimHarness sim(c);
        char target[256] = {};
        ASSERT_GT(readlink(c.LinkPath.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), "/dev/" + sim.PortName());
    }
    struct stat st{};
    EXPECT_NE(lstat(c.LinkPath.c_str(), &st), 0);

    // A file that is not a link is never replaced.
    std::ofstream(c.LinkPath) << "keep";
    SimServer server(c);
    std::string error;
    EXPECT_FALSE(server.Start(error));
    EXPECT_NE(error.find("not a symlink"), std::string::npos);
    std::string content;
    std::ifstream(c.LinkPath) >> content;
    EXPECT_EQ(content, "keep");
    ::unlink(c.LinkPath.c_str());
}

}  // namespace
