// The exchange log stays within its size limit: full files shift to ".1" .. ".5", entries
// stay whole and in order, and two testers writing into one folder never split an entry.
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "link/UserFormats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kLimit = 400;  // a few entries a file

// The file's text, back from Windows-1251.
std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Cp1251ToUtf8(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

// Lines of a file, each ended by "\r\n"; a trailing piece without it is returned too.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class LogRotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUserFormats({"%d.%m.%Y", "%H:%M:%S", ","});
        dir_ = fs::temp_directory_path() / ("ornix-rotate-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        log_ = (dir_ / "tester.log").string();
        SetExchangeLogPath(log_);
    }
    void TearDown() override {
        SetExchangeLogPath("");
        SetExchangeLogLimit(kDefaultExchangeLogLimit);
        fs::remove_all(dir_);
    }
    // Entry `n` of writer `who`: Cyrillic text, so the limit counts bytes on disk (one a letter).
    static void Write(const std::string& who, int n) {
        TELogger entry;
        entry.Append("Чтение времени " + who + " " + std::to_string(n) + " конец\r\n");
    }
    // The entries of every kept file, oldest file first.
    std::vector<std::string> AllLines() const {
        std::vector<std::string> all;
        for (int n = kKeptExchangeLogs + 1; n >= 0; --n) {
            const fs::path file = n == 0 ? fs::path(log_) : fs::path(log_ + "." + std::to_string(n));
            for (auto& line : Lines(ReadFile(file))) all.push_back(line);
        }
        return all;
    }

    fs::path dir_;
    std::string log_;
};

TEST_F(LogRotationTest, FullFileShiftsAndOnlyFiveAreKept) {
    SetExchangeLogLimit(kLimit);
    constexpr int kEntries = 200;
    for (int n = 0; n < kEntries; ++n) Write("A", n);

    for (int n = 1; n <= kKeptExchangeLogs; ++n) {
        const fs::path file = log_ + "." + std::to_string(n);
        ASSERT_TRUE(fs::exists(file)) << file;
        EXPECT_LE(fs::file_size(file), kLimit) << file;
    }
    EXPECT_FALSE(fs::exists(log_ + "." + std::to_string(kKeptExchangeLogs + 1)));
    EXPECT_LE(fs::file_size(log_), kLimit);

    // What is kept is the newest run of entries, whole and in order, ending with the last.
    const auto lines = AllLines();
    ASSERT_GT(lines.size(), 5u * 3);
    const int first = kEntries - int(lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find("Чтение времени A " + std::to_string(first + int(i)) + " конец"), std::string::npos)
            << lines[i];
}

TEST_F(LogRotationTest, NoLimitGrowsOneFile) {
    SetExchangeLogLimit(0);
    for (int n = 0; n < 100; ++n) Write("A", n);
    EXPECT_FALSE(fs::exists(log_ + ".1"));
    EXPECT_EQ(Lines(ReadFile(log_)).size(), 100u);
}

TEST_F(LogRotationTest, EntryLargerThanTheLimitIsWrittenWhole) {
    SetExchangeLogLimit(kLimit);
    Write("A", 0);
    {
        TELogger big;
        big.Append(std::string(2 * kLimit, 'x') + "\r\n");
    }
    Write("A", 1);
    EXPECT_NE(ReadFile(log_ + ".1").find(std::string(2 * kLimit, 'x') + "\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(log_ + ".2").find("A 0 "), std::string::npos);
    EXPECT_NE(ReadFile(log_).find("A 1 "), std::string::npos);
}

// Two testers started from one folder share the log: each entry is written whole and each
// tester's entries keep their order, across the rotations both of them make.
TEST_F(LogRotationTest, TwoTestersNeverSplitAnEntry) {
    SetExchangeLogLimit(kLimit);
    constexpr int kEntries = 300;
    std::vector<pid_t> writers;
    for (const char* who : {"A", "B"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int n = 0; n < kEntries; ++n) Write(who, n);
            _exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) waitpid(pid, nullptr, 0);

    std::map<std::string, int> last{{"A", -1}, {"B", -1}};
    const auto lines = AllLines();
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) {
        // "<stamp>Чтение времени <who> <n> конец", nothing before or after
        const auto at = line.find("Чтение времени ");
        ASSERT_NE(at, std::string::npos) << line;
        std::istringstream rest(line.substr(at + std::string("Чтение времени ").size()));
        std::string who, end;
        int n = -1;
        rest >> who >> n >> end;
        EXPECT_EQ(end, "конец") << line;
        EXPECT_TRUE(rest.eof() || rest.peek() == EOF) << line;
        ASSERT_TRUE(last.count(who)) << line;
        EXPECT_GT(n, last[who]) << line;
        last[who] = n;
        EXPECT_EQ(line.find("Чтение времени ", at + 1), std::string::npos) << "two entries in one line: " << line;
    }
}

// Another tester that fills the shared file past the limit is noticed within a few of our
// entries, though we do not look at the file's length for every entry.
TEST_F(LogRotationTest, FileFilledByAnotherWriterIsRotatedSoon) {
    constexpr uint64_t kBigLimit = 3 << 20;
    SetExchangeLogLimit(kBigLimit);
    Write("A", 0);
    std::ofstream(log_, std::ios::binary | std::ios::app) << std::string(kBigLimit + 1000, 'B') << "\r\n";
    for (int n = 1; n <= 70; ++n) Write("A", n);
    ASSERT_TRUE(fs::exists(log_ + ".1"));
    EXPECT_LT(fs::file_size(log_), 70 * 100u);
    EXPECT_NE(Lines(ReadFile(log_)).back().find("Чтение времени A 70 конец"), std::string::npos);
}

}  // namespace
