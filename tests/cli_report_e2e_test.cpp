// ornix-cli settings report against ornix-sim: the commissioning record as HTML naming the
// device and its values, as a one-page PDF printed by the tester found beside the program or
// on PATH, and the refusals (a name that is neither, a missing folder, no tester for a PDF,
// no controller) that leave no file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/SimProcess.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = fs::read_symlink("/proc/self/exe").parent_path();

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Ran {
    int exit = -1;
    std::string out, err;
};

class ReportCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ornix-cli-report-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        if (!fs::exists(kBuild / "ornix-tester")) GTEST_SKIP() << "built without the tester";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // `program` with the arguments, under the environment given; stdout and stderr caught.
    Ran Start(const fs::path& program, const std::string& args, const std::string& environment = "") {
        const std::string command = environment + " '" + program.string() + "' " + args + " >'" +
                                    (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir_ / "out"), ReadFile(dir_ / "err")};
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.path().filename() != "out" && entry.path().filename() != "err")
                names.push_back(entry.path().filename().string());
        return names;
    }
    fs::path dir_;
};

int PdfPages(const std::string& pdf) {
    const std::regex page(R"(/Type\s*/Page[^s])");
    return int(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

TEST_F(ReportCli, TheRecordIsWrittenAsHtmlOrPdfAndNothingForANameThatIsNeither) {
    SimProcess sim(9600, {"--no-customers"});
    ASSERT_FALSE(sim.Port().empty());
    const std::string link = "--port " + sim.Port() + " ";
    const fs::path cli = kBuild / "ornix-cli";

    const Ran html = Start(cli, link + "settings report '" + (dir_ / "r.html").string() + "'");
    ASSERT_EQ(html.exit, 0) << html.err;
    EXPECT_EQ(html.out, "Отчёт записан в " + (dir_ / "r.html").string() + "\n");
    const std::string page = ReadFile(dir_ / "r.html");
    // The simulator's device, firmware, a price, a fuel name, a bus speed, a total, the tool.
    for (const char* shown : {"5-канальная ТРК", "v3.7 от 14.05.2024", "3A7F10C25E910BD46628E34D8C01B975", "A-92",
                              "GA5", "115200", "Суммарник, (л)", "ornix-cli "})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;

    const Ran pdf = Start(cli, link + "--json settings report '" + (dir_ / "R.PDF").string() + "'");
    ASSERT_EQ(pdf.exit, 0) << pdf.err;
    const auto said = nlohmann::json::parse(pdf.out);
    EXPECT_EQ(said["ok"], true);
    EXPECT_EQ(said["file"], (dir_ / "R.PDF").string());
    const std::string bytes = ReadFile(dir_ / "R.PDF");
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(PdfPages(bytes), 1);

    struct Refusal {
        std::string file, args, message;
    };
    const Refusal refusals[] = {
        {"r.txt", link, "отчёт пишется в файл .html или .pdf, а не в "},
        {"missing/r.pdf", link, "Не могу записать в папку "},
        {"r2.html", "--port pts/999999 ", ""},  // no controller: a link error, not a refusal
    };
    for (const Refusal& r : refusals) {
        const Ran run = Start(cli, r.args + "settings report '" + (dir_ / r.file).string() + "'");
        EXPECT_EQ(run.exit, r.message.empty() ? 2 : 64) << r.file << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    auto files = Files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"R.PDF", "r.html"}));
}

TEST_F(ReportCli, APdfIsPrintedByTheTesterOnPathWhenNoneIsBesideTheProgram) {
    SimProcess sim(9600, {"--no-customers"});
    ASSERT_FALSE(sim.Port().empty());
    // ornix-cli alone in a folder of its own: the tester is found on PATH, or nowhere.
    const fs::path alone = dir_ / "bin";
    fs::create_directory(alone);
    fs::copy_file(kBuild / "ornix-cli", alone / "ornix-cli");
    const std::string args = "--port " + sim.Port() + " settings report '" + (dir_ / "r.pdf").string() + "'";

    const Ran none = Start(alone / "ornix-cli", args, "PATH=/nonexistent");
    EXPECT_EQ(none.exit, 64);
    EXPECT_NE(none.err.find("PDF печатает ornix-tester"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(dir_ / "r.pdf"));

    const Ran onPath = Start(alone / "ornix-cli", args, "PATH='/nonexistent:" + kBuild.string() + "'");
    ASSERT_EQ(onPath.exit, 0) << onPath.err;
    EXPECT_EQ(PdfPages(ReadFile(dir_ / "r.pdf")), 1);
}

}  // namespace
