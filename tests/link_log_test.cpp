// Exchange log and memory-dump log: entry form, time stamps, encoding on disk, placement
// and the silent loss of entries whose file cannot be had.
#include "engine/CommandCatalog.h"
#include "link/UserFormats.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/DescriptionLines.h"
#include "link/ExchangeLog.h"
#include "link/FrameCodec.h"
#include "link/ResultCodes.h"
#include "tests/support/HexBytes.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUserFormats({"%d.%m.%Y", "%H:%M:%S", ","});
        dir_ = fs::temp_directory_path() /
               ("ornix-log-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        SetExchangeLogPath((dir_ / "tester.log").string());
    }
    void TearDown() override {
        SetExchangeLogPath("");
        fs::remove_all(dir_);
    }
    std::string Log() const { return ReadFile(dir_ / "tester.log"); }

    fs::path dir_;
};

std::chrono::system_clock::time_point LocalTime(int y, int mo, int d, int h, int mi, int s, int ms) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t)) + std::chrono::milliseconds(ms);
}

TEST_F(LogTest, StampsCarryThreeDigitMilliseconds) {
    struct Case {
        int ms;
        const char* exchange;
    };
    const Case cases[] = {
        {5, "09.12.2026 08:05:03:005 "},
        {0, "09.12.2026 08:05:03:000 "},
        {40, "09.12.2026 08:05:03:040 "},
        {999, "09.12.2026 08:05:03:999 "},
    };
    for (const auto& c : cases) {
        const auto when = LocalTime(2026, 12, 9, 8, 5, 3, c.ms);
        EXPECT_EQ(ExchangeLogStamp(when), c.exchange);
        EXPECT_EQ(VrxLogStamp(when), "09.12.2026 08:05:03 ");
    }
}

TEST_F(LogTest, EntriesAppendInWindows1251) {
    {
        TELogger entry;
        EXPECT_TRUE(entry.IsOpen());
    }
    {
        TELogger entry;
        entry.Append("Ёё №°\r\n");
    }
    const std::string log = Log();
    const std::regex form(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d:\d{3} \d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d:\d{3} )");
    EXPECT_TRUE(std::regex_search(log, form)) << log;  // an empty entry still writes its stamp
    const std::string tail = log.substr(log.size() - 7);
    EXPECT_EQ(ToHex(reinterpret_cast<const uint8_t*>(tail.data()), tail.size()), "A8 B8 20 B9 B0 0D 0A");
}

TEST_F(LogTest, EntryIsLostWhenTheFileIsHeld) {
    { TELogger first; first.Append("first\r\n"); }
    const std::string before = Log();

    // Another writer holds the file.
    const int fd = ::open((dir_ / "tester.log").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    {
        TELogger lost;
        EXPECT_FALSE(lost.IsOpen());
        lost.Append("lost\r\n");
    }
    ::close(fd);
    EXPECT_EQ(Log(), before);

    // A second entry while the first is still open.
    {
        TELogger outer;
        outer.Append("outer\r\n");
        TELogger inner;
        inner.Append("inner\r\n");
    }
    const std::string after = Log();
    EXPECT_NE(after.find("outer\r\n"), std::string::npos);
    EXPECT_EQ(after.find("inner"), std::string::npos);
}

TEST_F(LogTest, UnwritableFolderLosesEntriesQuietly) {
    SetExchangeLogPath((dir_ / "missing" / "tester.log").string());
    TELogger entry;
    entry.Append("nowhere\r\n");
    EXPECT_FALSE(entry.IsOpen());
}

TEST_F(LogTest, VrxLogLandsInTheWorkingDirectory) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    {
        cVRX_Logger entry;
        entry.Append("dump\r\n");
    }
    fs::current_path(before);
    const std::string text = ReadFile(dir_ / "VRX.log");
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d dump\r\n)"))) << text;
    // The exchange log stays beside the executable, named like it.
    SetExchangeLogPath("");
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(fs::path(ExchangeLogPath()), exe.parent_path() / (exe.filename().string() + ".log"));
}

TEST(LogPlacement, BesideTheExecutableOrInTheStateFolder) {
    struct Case {
        const char* exe;
        bool writable;
        const char* xdg;
        const char* home;
        const char* path;
    };
    const Case cases[] = {
        {"/opt/ot/ornix-tester", true, "/x", "/home/u", "/opt/ot/ornix-tester.log"},
        {"/opt/ot/tester.bin", true, nullptr, nullptr, "/opt/ot/tester.log"},
        {"/usr/bin/ornix-tester", false, "/x/state", "/home/u", "/x/state/ornix-tester/ornix-tester.log"},
        {"/usr/bin/ornix-tester", false, nullptr, "/home/u", "/home/u/.local/state/ornix-tester/ornix-tester.log"},
        {"/usr/bin/ornix-tester", false, "", "/home/u", "/home/u/.local/state/ornix-tester/ornix-tester.log"},
        {"/usr/bin/ornix-tester", false, "state", "/home/u", "/home/u/.local/state/ornix-tester/ornix-tester.log"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExchangeLogPathFor(c.exe, c.writable, c.xdg, c.home), c.path) << c.exe;
}

// Strips the stamps so the entries can be compared whole.
std::vector<std::string> Entries(const std::string& log) {
    static const std::regex stamp(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d:\d{3} )");
    std::vector<std::string> entries;
    for (std::sregex_token_iterator it(log.begin(), log.end(), stamp, -1), end; it != end; ++it)
        if (!it->str().empty()) entries.push_back(it->str());
    return entries;
}

TEST_F(LogTest, OneExchangeWritesDescriptionRequestAndAnswer) {
    PtyPeer peer;
    TECOMPort port;
    port.Describer = &DescribeRequestAtRate;
    port.PortName = peer.PortName();
    ASSERT_EQ(port.Open(), 0);
    port.SetReadTimeout(200);

    peer.Run([](PtyPeer& p) {
        p.ReadUntil(kFrameEnd, 3000);
        p.Write(BuildFrame(FromHex("01 08 00 C0")));
    });
    uint8_t buffer[256] = {1, 8};
    port.Exchange(buffer, 2);
    peer.Join();
    ASSERT_EQ(port.Error, 0);

    peer.Run([](PtyPeer& p) { p.ReadUntil(kFrameEnd, 3000); });  // then silence
    port.Exchange(buffer, 2);
    peer.Join();

    const std::vector<std::string> expected = {
        Utf8ToCp1251("Чтение времени\r\n"),
        "Request:01 08 01 E6 C0 \r\n",
        "Answer :01 08 00 D0 C1 80 4A C0 \r\n",
        Utf8ToCp1251("Чтение времени\r\n"),
        "Request:01 08 01 E6 C0 \r\n",
        Utf8ToCp1251("Answer :\r\nНет ответа\r\n"),
    };
    EXPECT_EQ(Entries(Log()), expected);
}

// A description line handed out again must be the one a fresh description would give: every
// byte of the request and the rate count, and a describer put in place of another is used.
TEST(DescriptionLines, MadeOnceButNeverStale) {
    struct Case {
        std::vector<uint8_t> request;
        int rate;
    };
    const Case cases[] = {
        {{1, 8}, 9600},
        {{1, 145, 0, 0, 0, 0, 8}, 9600},    // names the rate it switches from
        {{1, 145, 0, 0, 0, 0, 8}, 19200},
        {{1, 145, 0, 0, 0, 0, 16}, 19200},  // and the one it switches to
        {{1, 206, 2}, 9600},                 // the channel
        {{1, 206, 3}, 9600},
        {{1, 206}, 9600},                    // a short request
    };
    DescriptionLines lines;
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases) {
            const int length = int(c.request.size());
            EXPECT_EQ(lines.Line(&DescribeRequestAtRate, c.request.data(), length, c.rate),
                      Utf8ToCp1251(DescribeRequestAtRate(c.request.data(), length, c.rate) + "\r\n"))
                << round << " " << ToHex(c.request);
        }
    const uint8_t time[] = {1, 8};
    const DescriptionLines::Describer other = [](const uint8_t*, int, int) { return std::string("Другой"); };
    EXPECT_EQ(lines.Line(other, time, 2, 9600), Utf8ToCp1251("Другой\r\n"));
    // Prices written one after another do not pile up lines.
    for (uint32_t price = 0; price < 1000; ++price) {
        const uint8_t request[] = {1, 205, 0, uint8_t(price), uint8_t(price >> 8), 0, 0};
        lines.Line(&DescribeRequestAtRate, request, 7, 9600);
    }
    EXPECT_LE(lines.Kept(), 256u);
}

}  // namespace
