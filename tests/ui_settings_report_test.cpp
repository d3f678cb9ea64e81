// The commissioning record printed to PDF by Qt's own writer: a PDF file of one page for a
// controller's settings, more pages only for more rows than a page holds, nothing written
// where the file cannot be, and the tester's --html-to-pdf mode that ornix-cli hands it to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "commands/SettingsReport.h"
#include "tests/support/QtTestApplication.h"
#include "ui/main/StartOptions.h"
#include "ui/widgets/PdfReport.h"

namespace {

namespace fs = std::filesystem;

[[maybe_unused]] const auto* const kApp =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_settings_report_test"));

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Pages of a PDF: its page objects ("/Type /Page", not "/Pages").
int PdfPages(const std::string& pdf) {
    const std::regex page(R"(/Type\s*/Page[^s])");
    return int(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

CommissioningReport Report(int channels) {
    CommissioningReport r;
    r.Device = "Ornix ТРК-5";
    r.Identification = {{"", "Тип устройства", "Ornix ТРК-5", ""}, {"", "Прошивка", "v2.5 от 01.02.2013", ""}};
    for (const char* caption : {"Количество каналов", "Протокол", "Цена без копеек", "Часовой пояс", "Летнее время",
                                "Яркость ночью", "Субконтроллер 1", "Субконтроллер 2"})
        r.Settings.push_back({"Конфигурация", caption, "1", ""});
    for (int c = 1; c <= channels; ++c)
        for (const char* caption : {"Цена, (руб/литр)", "Название топлива", "Цвет снятого пистолета",
                                    "Время разгона насоса, (мс)", "Адрес VRX2.0", "Тип расходомера"})
            r.Settings.push_back({"Канал " + std::to_string(c), caption, "54,90", ""});
    for (int c = 1; c <= channels; ++c)
        for (const char* caption : {"Суммарник, (л)", "Суммарник переливов, (л)", "Суммарник ручных наливов, (л)",
                                    "Суммарник наливов с ИК-пульта, (л)", "Суммарник денежный, (руб)"})
            r.Counters.push_back({"Канал " + std::to_string(c), caption, "1234567,89", ""});
    r.ReadAt = "10.12.2026 21:30:00";
    r.Tool = "ornix-tester 1.0.0";
    return r;
}

class PdfReport : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ornix-pdf-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(PdfReport, AControllersSettingsMakeOnePdfPageAndOverlongOnesMore) {
    struct Case {
        int channels;
        int minPages, maxPages;
    };
    // Five channels are what one controller has on its board; 15 with two sub-controllers. A
    // controller never has 200; its columns would not fit and the table takes more pages.
    const Case cases[] = {{0, 1, 1}, {5, 1, 1}, {15, 1, 1}, {200, 2, 40}};
    for (const Case& c : cases) {
        const fs::path pdf = dir_ / ("report" + std::to_string(c.channels) + ".pdf");
        EXPECT_EQ(WritePdfFromHtml(CommissioningReportHtml(Report(c.channels)), pdf.string()), "") << c.channels;
        const std::string bytes = FileText(pdf);
        EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u) << c.channels;
        EXPECT_NE(bytes.find("%%EOF", bytes.size() - 16), std::string::npos) << c.channels;
        EXPECT_GE(PdfPages(bytes), c.minPages) << c.channels;
        EXPECT_LE(PdfPages(bytes), c.maxPages) << c.channels;
    }
}

TEST_F(PdfReport, AFileThatCannotBeWrittenIsSaidAndLeavesNothing) {
    const std::string html = CommissioningReportHtml(Report(2));
    const fs::path missing = dir_ / "no-such-folder" / "report.pdf";
    const std::string failure = WritePdfFromHtml(html, missing.string());
    EXPECT_NE(failure.find(missing.string()), std::string::npos) << failure;
    EXPECT_FALSE(fs::exists(missing.parent_path()));
    // An older report where the new one cannot go stays as it was.
    const fs::path old = dir_ / "old.pdf";
    std::ofstream(old) << "old";
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(dir_.c_str(), W_OK) == 0) GTEST_SKIP() << "running as root: the folder stays writable";
    EXPECT_NE(WritePdfFromHtml(html, old.string()), "");
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(FileText(old), "old");
}

TEST_F(PdfReport, HtmlToPdfModeConvertsAFileAndRefusesAMissingOne) {
    const StartOptions o = ParseStartOptions({"--html-to-pdf", "in.html", "out.pdf"});
    ASSERT_TRUE(o.htmlToPdf);
    EXPECT_EQ(o.htmlToPdf->first, "in.html");
    EXPECT_EQ(o.htmlToPdf->second, "out.pdf");
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(ParseStartOptions({"--html-to-pdf", "in.html"}).error, "после --html-to-pdf нужны два файла: HTML и PDF");
    EXPECT_FALSE(ParseStartOptions({"--port", "pts/3"}).htmlToPdf);

    const fs::path html = dir_ / "report.html", pdf = dir_ / "report.pdf";
    std::ofstream(html) << CommissioningReportHtml(Report(3));
    EXPECT_EQ(ConvertHtmlFileToPdf(html.string(), pdf.string()), "");
    EXPECT_EQ(PdfPages(FileText(pdf)), 1);
    const std::string failure = ConvertHtmlFileToPdf((dir_ / "missing.html").string(), (dir_ / "x.pdf").string());
    EXPECT_NE(failure.find("missing.html"), std::string::npos) << failure;
    EXPECT_FALSE(fs::exists(dir_ / "x.pdf"));
}

}  // namespace
