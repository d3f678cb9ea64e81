// The link settings file: defaults, the 8-bit address, and writes that keep every other line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "ui/main/SettingsFile.h"

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ornix-settings-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        path_ = dir_ + "/ornix-tester.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Get() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string dir_, path_;
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndWritesNothing) {
    const LinkSettings s = LoadLinkSettings(SettingsFile(path_));
    EXPECT_EQ(s.port, "ttyS0");
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.devAddr, 1);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(SettingsFileTest, ValuesAreTakenWithoutRangeTestAndAddressCutTo8Bits) {
    struct Case {
        const char* text;
        const char* port;
        int baud;
        int addr;
    };
    const Case cases[] = {
        {"[Port]\nLast Port=pts/3\nBaudRate=19200\nDevAddr=300\n", "pts/3", 19200, 44},
        {"[Port]\nDevAddr=-1\nBaudRate=1234567\n", "ttyS0", 1234567, 255},
        {"[port]\r\n  last port = ttyUSB1 \r\nbaudrate=4800\r\n", "ttyUSB1", 4800, 1},  // names ignore case
        {"[Port]\nDevAddr=abc\nBaudRate=\n", "ttyS0", 9600, 1},                           // bad numbers: defaults
        {"[Other]\nLast Port=wrong\nDevAddr=9\n[Port]\nDevAddr=12\n", "ttyS0", 9600, 12},  // only section Port
        {"[Port]\n;DevAddr=5\nDevAddr=6\nDevAddr=7\n", "ttyS0", 9600, 6},                 // comment skipped, first wins
    };
    for (const Case& c : cases) {
        Put(c.text);
        const LinkSettings s = LoadLinkSettings(SettingsFile(path_));
        EXPECT_EQ(s.port, c.port) << c.text;
        EXPECT_EQ(s.baudRate, c.baud) << c.text;
        EXPECT_EQ(s.devAddr, c.addr) << c.text;
    }
}

TEST_F(SettingsFileTest, WriteRewritesOneKeyAndKeepsEveryOtherLine) {
    struct Case {
        const char* before;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        // replaced in place, other keys, comments and sections untouched
        {"; link\n[Port]\nLast Port=ttyS0\nBaudRate=9600\nDevAddr=1\n[View]\nWidth=3\n", "BaudRate", "19200",
         "; link\n[Port]\nLast Port=ttyS0\nBaudRate=19200\nDevAddr=1\n[View]\nWidth=3\n"},
        // a missing key joins the end of its section, before blank lines and the next section
        {"[Port]\nLast Port=ttyS0\n\n[View]\nWidth=3\n", "DevAddr", "7",
         "[Port]\nLast Port=ttyS0\nDevAddr=7\n\n[View]\nWidth=3\n"},
        // a missing section is added at the end
        {"[View]\nWidth=3", "Last Port", "pts/4", "[View]\nWidth=3\n\n[Port]\nLast Port=pts/4\n"},
        // CRLF files stay CRLF
        {"[Port]\r\nLast Port=ttyS0\r\nDevAddr=1\r\n", "Last Port", "ttyUSB0",
         "[Port]\r\nLast Port=ttyUSB0\r\nDevAddr=1\r\n"},
        // the key is found whatever its case and spacing
        {"[PORT]\n  devaddr = 3\n", "DevAddr", "4", "[PORT]\nDevAddr=4\n"},
    };
    for (const Case& c : cases) {
        Put(c.before);
        SettingsFile file(path_);
        ASSERT_TRUE(file.WriteString(kPortSection, c.key, c.value)) << c.before;
        EXPECT_EQ(Get(), c.after) << c.before;
        EXPECT_EQ(file.ReadString(kPortSection, c.key, ""), c.value);
    }
}

TEST_F(SettingsFileTest, FirstWriteCreatesTheFileWithOneKey) {
    SettingsFile file(path_);
    ASSERT_TRUE(file.WriteInteger(kPortSection, kDevAddrKey, 254));
    EXPECT_EQ(Get(), "[Port]\nDevAddr=254\n");
}

TEST_F(SettingsFileTest, RefusedWritesChangeNothingAndSayFalse) {
    Put("[Port]\nLast Port=ttyS0\n");
    SettingsFile file(path_);
    // A line break in a value would add lines of its own to the file.
    EXPECT_FALSE(file.WriteString(kPortSection, kLastPortKey, "ttyS1\nDevAddr=9"));
    EXPECT_EQ(Get(), "[Port]\nLast Port=ttyS0\n");

    // "/dev/null/x" can never be created: the failure must be reported, not swallowed.
    SettingsFile unwritable("/dev/null/ornix-tester.ini");
    EXPECT_FALSE(unwritable.WriteString(kPortSection, kLastPortKey, "ttyS1"));
}

TEST_F(SettingsFileTest, WriteCreatesTheFallbackDirectory) {
    SettingsFile file(dir_ + "/config/ornix-tester/ornix-tester.ini");
    ASSERT_TRUE(file.WriteString(kPortSection, kBaudRateKey, "38400"));
    EXPECT_EQ(file.ReadInteger(kPortSection, kBaudRateKey, 0), 38400);
}

TEST_F(SettingsFileTest, WriteThroughALinkKeepsTheLinkAndTheFileMode) {
    // The engineer keeps the real file elsewhere, private, and links it in; the link is relative.
    fs::create_directory(dir_ + "/private");
    const std::string target = dir_ + "/private/tester.ini";
    std::ofstream(target) << "[Port]\nDevAddr=1\n";
    ASSERT_EQ(0, ::chmod(target.c_str(), 0600));
    fs::create_symlink("private/tester.ini", path_);

    ASSERT_TRUE(SettingsFile(path_).WriteInteger(kPortSection, kDevAddrKey, 42));
    EXPECT_TRUE(fs::is_symlink(path_));
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[Port]\nDevAddr=42\n");
    struct stat st {};
    ASSERT_EQ(0, ::stat(target.c_str(), &st));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(fs::directory_iterator(dir_ + "/private")->path(), target);  // no temporary left behind

    // A plain file keeps its mode too.
    const std::string plain = dir_ + "/plain.ini";
    std::ofstream(plain) << "[Port]\n";
    ASSERT_EQ(0, ::chmod(plain.c_str(), 0640));
    ASSERT_TRUE(SettingsFile(plain).WriteInteger(kPortSection, kDevAddrKey, 7));
    ASSERT_EQ(0, ::stat(plain.c_str(), &st));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SettingsPath, BesideTheExecutableElseBelowTheUserConfig) {
    struct Case {
        const char* exe;
        bool writable;
        const char* xdg;
        const char* home;
        const char* path;
    };
    const Case cases[] = {
        {"/opt/ornix/bin/ornix-tester", true, "/x", "/home/u", "/opt/ornix/bin/ornix-tester.ini"},
        {"/usr/bin/ornix-tester", false, "/home/u/.cfg", "/home/u", "/home/u/.cfg/ornix-tester/ornix-tester.ini"},
        {"/usr/bin/ornix-tester", false, nullptr, "/home/u", "/home/u/.config/ornix-tester/ornix-tester.ini"},
        // a relative XDG_CONFIG_HOME is to be ignored
        {"/usr/bin/ornix-tester", false, "rel", "/home/u", "/home/u/.config/ornix-tester/ornix-tester.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseSettingsPath(c.exe, c.writable, c.xdg, c.home), c.path) << c.exe;
}

}  // namespace
