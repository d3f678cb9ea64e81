// The tester's command line and the settings a service laptop adds to the file: what is
// taken, what is refused with which words, and what the file's values become.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "ui/main/SettingsFile.h"
#include "ui/main/StartOptions.h"
#include "ui/main/WindowLayout.h"

namespace {

TEST(StartOptions, LinkValuesTakenOrRefused) {
    struct Case {
        std::vector<std::string> args;
        std::string port;  // "" : not given
        int baud, address;  // 0 : not given
        std::string error;
    };
    const Case cases[] = {
        {{}, "", 0, 0, ""},
        {{"--port", "ttyUSB0", "--baud", "19200", "--address", "7"}, "ttyUSB0", 19200, 7, ""},
        {{"--port=/dev/serial/by-id/usb-FTDI-if00", "--baud=4800"}, "/dev/serial/by-id/usb-FTDI-if00", 4800, 0, ""},
        {{"--baud", "9601"}, "", 0, 0, "--baud: скорость 9601 не из 4800, 9600, 19200, 38400, 57600, 115200"},
        {{"--address", "255"}, "", 0, 0, "--address: адрес 255 не от 1 до 254"},
        {{"--address", "0x10"}, "", 0, 0, "--address: адрес 0x10 не от 1 до 254"},
        {{"--port"}, "", 0, 0, "после --port нужно значение"},
        {{"--port="}, "", 0, 0, "пустое имя порта"},
        {{"--speed", "9600", "--baud", "38400"}, "", 38400, 0, "неизвестный параметр --speed (см. --help)"},
    };
    for (const Case& c : cases) {
        const StartOptions o = ParseStartOptions(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(o.port.value_or(""), c.port) << label;
        EXPECT_EQ(o.baudRate.value_or(0), c.baud) << label;
        EXPECT_EQ(o.devAddr.value_or(0), c.address) << label;
        EXPECT_EQ(o.error, c.error) << label;
    }
    // Help is seen behind a fault too, and asks for nothing else.
    EXPECT_TRUE(ParseStartOptions({"-platform", "offscreen", "--help"}).help);
    EXPECT_TRUE(ParseStartOptions({"--version"}).version);
    EXPECT_TRUE(ParseStartOptions({"--port", "pts/3", "--poll-on-start"}).pollOnStart);
    EXPECT_FALSE(ParseStartOptions({"--port", "pts/3"}).pollOnStart);
    EXPECT_EQ(ParseStartOptions({"--poll-on-start=1"}).error, "неизвестный параметр --poll-on-start=1 (см. --help)");
    EXPECT_EQ(VersionLine("ornix-tester").rfind("ornix-tester ", 0), 0u);
}

TEST(StartOptions, CommandLineTakesThePlaceOfTheFileForThisRunOnly) {
    const LinkSettings file{"ttyS0", 115200, 9};
    StartOptions o;
    o.port = "pts/4";
    const LinkSettings run = WithStartOptions(file, o);
    EXPECT_EQ(run.port, "pts/4");
    EXPECT_EQ(run.baudRate, 115200);
    EXPECT_EQ(run.devAddr, 9);
}

TEST(ServiceSettings, LogLimitInMegabytes) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ornix-limit-" + std::to_string(getpid()) + ".ini")).string();
    struct Case {
        const char* text;
        uint64_t bytes;
    };
    const Case cases[] = {
        {"", 50ull << 20},
        {"[Log]\nLogLimitMB=5\n", 5ull << 20},
        {"[Log]\nLogLimitMB=0\n", 0},
        {"[Log]\nLogLimitMB=-3\n", 50ull << 20},
        {"[Log]\nLogLimitMB=lots\n", 50ull << 20},
        {"[Log]\nLogLimitMB=100000\n", 100000ull << 20},
        {"[Port]\nLogLimitMB=5\n", 50ull << 20},  // only its own section counts
    };
    for (const Case& c : cases) {
        std::ofstream(path) << c.text;
        EXPECT_EQ(LoadLogLimitBytes(SettingsFile(path)), c.bytes) << c.text;
    }
    std::filesystem::remove(path);
}

TEST(ServiceSettings, ColumnWidthsReadBackOrNotAtAll) {
    struct Case {
        const char* text;
        std::vector<int> widths;
    };
    const Case cases[] = {
        {"220,110", {220, 110}}, {"352", {352}}, {"", {}}, {"220,", {}}, {"220,,110", {}},
        {"220,0", {}}, {"-5,10", {}}, {"1,100001", {}}, {"a,b", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseWidths(c.text), c.widths) << c.text;
    EXPECT_EQ(JoinWidths({220, 90, 90}), "220,90,90");
}

TEST(ServiceSettings, ValueColumnsShareTheRoomLeftOver) {
    struct Case {
        std::vector<int> preferred;
        int firstValue, available;
        std::vector<int> fitted;
    };
    const Case cases[] = {
        {{220, 110}, 1, 330, {220, 110}},            // as designed
        {{220, 110}, 1, 300, {220, 110}},            // narrower: the view scrolls, nothing shrinks
        {{220, 110}, 1, 400, {220, 180}},
        {{220, 90, 90, 90}, 1, 523, {220, 101, 101, 101}},
        {{220, 90, 90}, 1, 423, {220, 102, 101}},    // the odd pixel goes to the first
        {{220}, 1, 500, {220}},                      // no channel columns yet
    };
    for (const Case& c : cases)
        EXPECT_EQ(FittedColumnWidths(c.preferred, c.firstValue, c.available), c.fitted) << c.available;
}

// The window's own section comes and goes beside the link settings, which stay as they are.
TEST(ServiceSettings, WindowLayoutBesideThePortKeys) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ornix-layout-" + std::to_string(getpid()) + ".ini")).string();
    std::ofstream(path) << "[Port]\nLast Port=ttyUSB0\nBaudRate=19200\nDevAddr=7\n";
    SettingsFile file(path);
    EXPECT_EQ(LoadWindowLayout(file), WindowLayout{});
    const WindowLayout layout{"AdnQywADAAA=", {400, 624}, {240, 130}, {220, 95, 95}, {150, 60, 60, 60, 60, 60}};
    ASSERT_TRUE(SaveWindowLayout(file, layout));
    EXPECT_EQ(LoadWindowLayout(file), layout);
    const LinkSettings link = LoadLinkSettings(file);
    EXPECT_EQ(link.port, "ttyUSB0");
    EXPECT_EQ(link.baudRate, 19200);
    EXPECT_EQ(link.devAddr, 7);
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[Port]");
    std::filesystem::remove(path);
}

}  // namespace
