// ornix-cli record against ornix-sim: the rows of a fill that pours, in CSV and JSON Lines,
// and a recording stopped by Ctrl+C that leaves its files complete.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/SimProcess.h"

namespace {

namespace fs = std::filesystem;

const char kHeader[] =
    "time,channel,volume_l,flow_l_min,money,dose_l,fill,blocked,unconfirmed,boardBusy,nozzleBusy,lifted,pumpOn";

fs::path Cli() { return fs::read_symlink("/proc/self/exe").parent_path() / "ornix-cli"; }

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, at);) parts.push_back(part);
    return parts;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the program with these arguments, output to /dev/null; returns its process id.
pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        const std::string program = Cli().string();
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// The exit status, or -1 when the program did not end by itself within the time.
int WaitExit(pid_t pid, std::chrono::milliseconds within) {
    const auto until = std::chrono::steady_clock::now() + within;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Row {
    int Channel;
    double Volume, Flow;
    int Fill;
};

// Checks every line of a CSV recording and returns its rows.
std::vector<Row> CsvRows(const std::string& text) {
    std::vector<Row> rows;
    EXPECT_FALSE(text.empty());
    if (text.empty()) return rows;
    EXPECT_EQ(text.back(), '\n') << "the last row is cut";
    const std::vector<std::string> lines = Split(text, '\n');
    EXPECT_EQ(lines.front(), kHeader);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i], ',');
        EXPECT_EQ(f.size(), 13u) << lines[i];
        if (f.size() != 13) continue;
        EXPECT_EQ(f[0].size(), 29u) << f[0];  // 2025-03-01T14:05:09.250+03:00
        rows.push_back({std::stoi(f[1]), std::stod(f[2]), std::stod(f[3]), std::stoi(f[6])});
    }
    return rows;
}

// Within one fill of a channel the volume never falls.
void ExpectVolumesNeverFallWithinAFill(const std::vector<Row>& rows) {
    std::map<int, Row> last;
    for (const Row& r : rows) {
        if (auto it = last.find(r.Channel); it != last.end() && it->second.Fill == r.Fill) {
            EXPECT_GE(r.Volume, it->second.Volume) << "channel " << r.Channel;
        }
        last[r.Channel] = r;
    }
}

class CliRecord : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ornix-record-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(CliRecord, RowsOfAFillThatPours) {
    SimProcess sim(9600, {"--no-customers", "--flow", "1500", "--channels", "2"});
    ASSERT_FALSE(sim.Port().empty());
    const std::string csv = (dir_ / "fill.csv").string(), jsonl = (dir_ / "fill.jsonl").string();
    ASSERT_EQ(WaitExit(Spawn({"--port", sim.Port(), "dose", "1", "--litres", "100"}), std::chrono::seconds(20)), 0);
    ASSERT_EQ(WaitExit(Spawn({"--port", sim.Port(), "record", "--seconds", "2", "--csv", csv, "--json", jsonl}),
                       std::chrono::seconds(20)),
              0);

    const std::vector<Row> rows = CsvRows(ReadFile(csv));
    ExpectVolumesNeverFallWithinAFill(rows);
    std::map<int, std::vector<Row>> byChannel;
    for (const Row& r : rows) byChannel[r.Channel].push_back(r);
    ASSERT_EQ(byChannel.size(), 2u);  // both channels, every one the controller has
    const std::vector<Row>& poured = byChannel[1];
    ASSERT_GE(poured.size(), 4u);
    EXPECT_GT(poured.back().Volume, poured.front().Volume);
    EXPECT_NEAR(poured.back().Flow, 90.0, 9.0);  // 1500 ml/s
    EXPECT_EQ(byChannel[2].back().Volume, 0.0);

    // The JSON Lines file holds the same rows, one object a line.
    const std::vector<std::string> lines = Split(ReadFile(jsonl), '\n');
    ASSERT_EQ(lines.size(), rows.size());
    const auto last = nlohmann::json::parse(lines.back());
    EXPECT_EQ(last["channel"], rows.back().Channel);
    EXPECT_DOUBLE_EQ(last["volume"].get<double>(), rows.back().Volume);
    EXPECT_TRUE(last.contains("pumpOn"));
}

TEST_F(CliRecord, CtrlCLeavesACompleteFile) {
    // Virtual customers pour on their own and come back, so the recording crosses fills.
    SimProcess sim(9600, {"--flow", "5000"});
    ASSERT_FALSE(sim.Port().empty());
    const fs::path csv = dir_ / "interrupted.csv";
    const pid_t pid = Spawn({"--port", sim.Port(), "record", "--seconds", "0", "--csv", csv.string()});
    // A customer's first fill (2.5 l on channel 1), its confirmation 2 s later and the next
    // customer 3 s after that: the recording crosses from one fill to the next.
    std::this_thread::sleep_for(std::chrono::milliseconds(7500));
    kill(pid, SIGINT);
    EXPECT_EQ(WaitExit(pid, std::chrono::seconds(10)), 0);

    const std::vector<Row> rows = CsvRows(ReadFile(csv));
    EXPECT_GE(rows.size(), 20u);
    ExpectVolumesNeverFallWithinAFill(rows);
    int pouring = 0, laterFills = 0;
    for (const Row& r : rows) {
        pouring += r.Flow > 0;
        laterFills += r.Fill > 0;
    }
    EXPECT_GT(pouring, 0);
    EXPECT_GT(laterFills, 0);
}

}  // namespace
