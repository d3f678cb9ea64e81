// The tool's own port against the simulator over a real pseudo-terminal.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

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
    EXPECT_GT(l.port.AnswerLength, 0);  // something came: the bus search lists a conflict
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

// A program killed with the port open leaves the exclusive flag on the pty the simulator keeps
// open; the simulator clears it once nobody holds the port, but never under a live tester.
TEST(SimOverPty, AnExclusiveFlagNobodyHoldsIsCleared) {
    SimHarness sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const std::string path = "/dev/" + sim.PortName();
    const int killed = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(killed, 0);
    ASSERT_EQ(ioctl(killed, TIOCEXCL), 0);
    ::close(killed);

    TECOMPort first, second;
    first.PortName = second.PortName = sim.PortName();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // Refused at first: the flag looks like a live program's.
    bool opened = first.Open() == 0;
    EXPECT_FALSE(opened);
    while (!opened && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        opened = first.Open() == 0;
    }
    ASSERT_TRUE(opened) << first.ResultText;

    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // two checks at least
    EXPECT_NE(second.Open(), 0);
    EXPECT_NE(second.ResultText.find("Не могу открыть"), std::string::npos) << second.ResultText;
    first.SetReadTimeout(200);
    uint8_t buf[256] = {1, 8};
    first.Exchange(buf, 2);
    EXPECT_EQ(first.Error, 0) << first.ResultText;
    first.Close();
}

TEST(SimOverPty, PacedAnswerTakesItsLineTime) {
    // Byte by byte, and in bursts, whose last one still waits for the last byte's time.
    for (const char* burst : {"1", "8"}) {
        SCOPED_TRACE(burst);
        Link l(ConfigFrom({"--pace", "--pace-burst", burst}));
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(l.Exchange({1, 0, 0}), 0);
        auto took = std::chrono::steady_clock::now() - start;
        // 30 bytes at 9600 8N1 are 31 ms on the wire; only a lower bound is safe to check.
        EXPECT_GE(took, std::chrono::milliseconds(28));
    }
}

TEST(SimOverPty, EchoingTerminalSettingsCauseNoAnswerLoop) {
    SimServer sim{SimConfig{}};
    std::atomic<int> requests{0};
    sim.Log = [&](const std::string& line) { requests += line.rfind("request", 0) == 0; };
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    t.c_lflag |= ECHO;
    t.c_lflag &= ~tcflag_t(ECHOCTL);  // echo the bytes exactly, not as ^A
    tcsetattr(fd, TCSANOW, &t);
    // The pty flushes pending echoes when the next request is written, so send two.
    const uint8_t identification[] = {0x01, 0x00, 0x00, 0x20, 0x00, 0xC0};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(write(fd, identification, sizeof identification), ssize_t(sizeof identification));
        // Read until quiet, but never for long: a loop would never fall quiet.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        pollfd p{fd, POLLIN, 0};
        uint8_t answer[64];
        while (std::chrono::steady_clock::now() < until && poll(&p, 1, 150) > 0 &&
               read(fd, answer, sizeof answer) > 0) {}
    }
    close(fd);
    sim.Stop();
    EXPECT_EQ(requests.load(), 2);
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

// The ornix-sim program beside this test in the build directory.
std::string SimProgram() {
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, size_t(std::max<ssize_t>(n, 0)));
    return path.substr(0, path.rfind('/') + 1) + "ornix-sim";
}

// Reads the child's first output line, waiting at most timeoutMs.
std::string FirstLine(int fd, int timeoutMs) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

TEST(SimProgram, PrintsThePortServesItAndStopsOnSignal) {
    std::string program = SimProgram();
    if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
    std::string link = ::testing::TempDir() + "ornix-sim-program-link";
    ::unlink(link.c_str());
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), "ornix-sim", "--address", "5", "--link", link.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    // Stops the program however the test ends, and tells how it ended.
    struct Stopper {
        pid_t pid;
        int status = -1;
        int Stop() {
            if (pid > 0 && kill(pid, SIGTERM) == 0) waitpid(pid, &status, 0);
            pid = 0;
            return status;
        }
        ~Stopper() { Stop(); }
    } child{pid};
    std::string port = FirstLine(out[0], 5000);
    EXPECT_EQ(port.rfind("pts/", 0), 0u) << port;

    TECOMPort tool;
    tool.PortName = link;  // an absolute name is taken as it stands
    ASSERT_EQ(tool.Open(), 0) << tool.ResultText;
    tool.SetReadTimeout(500);
    uint8_t buf[256] = {5, 0, 0};
    tool.Exchange(buf, 3);
    EXPECT_EQ(tool.Error, 0) << tool.ResultText;
    tool.Close();

    int status = child.Stop();
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat st{};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
}

}  // namespace
