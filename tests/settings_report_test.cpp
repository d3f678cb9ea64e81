// The commissioning record as HTML: every value escaped and in its group, the template filled
// in one pass, the groups shared between two columns without splitting one, and the file
// format chosen by the extension.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/SettingsReport.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

TEST(SettingsReport, EscapesEveryMarkupCharacterAndKeepsTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"АИ-95", "АИ-95"},
        {"<b>", "&lt;b&gt;"},
        {"a&b", "a&amp;b"},
        {"&amp;", "&amp;amp;"},
        {"\"ДТ\" 'Евро'", "&quot;ДТ&quot; &#39;Евро&#39;"},
        {"</td></tr><script>", "&lt;/td&gt;&lt;/tr&gt;&lt;script&gt;"},
        {"54,90 ₽ °C №", "54,90 ₽ °C №"},
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(HtmlEscaped(text), escaped) << text;
}

TEST(SettingsReport, TemplateIsFilledInOnePass) {
    const std::map<std::string, std::string> values{{"a", "1"}, {"b", "{{a}}"}, {"empty", ""}};
    const std::pair<std::string, std::string> cases[] = {
        {"{{a}}", "1"},
        {"x{{a}}y{{a}}z", "x1y1z"},
        {"{{b}}", "{{a}}"},            // a value is not searched again
        {"{{unknown}} {{a}}", "{{unknown}} 1"},
        {"[{{empty}}]", "[]"},
        {"open {{a", "open {{a"},
        {"{a}} {{a}}}", "{a}} 1}"},
        {"", ""},
        {"no placeholders", "no placeholders"},
    };
    for (const auto& [page, filled] : cases) EXPECT_EQ(FilledTemplate(page, values), filled) << page;
}

CommissioningReport Sample() {
    CommissioningReport r;
    r.Device = "Ornix ТРК-5, адрес 1";
    r.Identification = {{"", "Тип устройства", "Ornix ТРК-5 <v2>"}, {"", "Прошивка", "v2.5 от 01.02.2013"},
                        {"", "MD5", "0123456789ABCDEF0123456789ABCDEF"}};
    r.Settings = {{"Конфигурация", "Количество каналов", "2"},
                  {"Конфигурация", "Цена без копеек", "нет"},
                  {"Канал 1", "Цена, (руб/литр)", "54,90"},
                  {"Канал 1", "Название топлива", "АИ-95 & <ДТ>"},
                  {"Канал 2", "Цена, (руб/литр)", "61,20"},
                  {"Канал 2", "Название топлива", "{{read_at}}"},
                  {"Часы", "Часовой пояс", "+3"}};
    r.TotalsColumns = {"Канал 1", "Канал 2"};
    r.TotalsCaptions = {"Суммарник, (л)", "Суммарник денежный, (руб)"};
    r.Totals = {{"1234,567", "0"}, {"67800,5", "0"}};
    r.ReadAt = "10.12.2026 21:30:00";
    r.Tool = "ornix-tester 1.0.0";
    return r;
}

TEST(SettingsReport, PageNamesTheDeviceEveryValueAndTotalEscaped) {
    const std::string html = CommissioningReportHtml(Sample());
    for (const char* shown : {"Ornix ТРК-5, адрес 1", "Ornix ТРК-5 &lt;v2&gt;", "v2.5 от 01.02.2013",
                              "0123456789ABCDEF0123456789ABCDEF", "Количество каналов", "54,90", "61,20",
                              "АИ-95 &amp; &lt;ДТ&gt;", "+3", "1234,567", "67800,5", "Суммарник денежный, (руб)",
                              "10.12.2026 21:30:00", "ornix-tester 1.0.0", "<meta charset=\"utf-8\">"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    // A value that looks like a placeholder stays as typed; every real one is filled.
    EXPECT_EQ(Count(html, "{{"), 1u);
    EXPECT_NE(html.find("{{read_at}}"), std::string::npos);
    EXPECT_EQ(html.find("<ДТ>"), std::string::npos);
    EXPECT_EQ(html.find("<v2>"), std::string::npos);
    // The device is named in the title and the headline.
    EXPECT_EQ(Count(html, "Ornix ТРК-5, адрес 1"), 2u);
}

TEST(SettingsReport, GroupsStayWholeInOrderAcrossTwoColumns) {
    CommissioningReport r = Sample();
    // A group that comes back after another is shown again where it comes.
    r.Settings.push_back({"Конфигурация", "Протокол", "Ornix"});
    const std::string html = CommissioningReportHtml(r);
    const std::vector<std::string> groups = {"Идентификация", "Конфигурация", "Канал 1", "Канал 2", "Часы",
                                             "Конфигурация"};
    size_t at = 0;
    for (const std::string& g : groups) {
        const size_t found = html.find("<td class=\"group\" colspan=\"2\">" + g + "</td>", at);
        ASSERT_NE(found, std::string::npos) << g << " after " << at;
        at = found + 1;
    }
    // Two columns, each a table of its own; a group's rows follow its heading in the same table.
    EXPECT_EQ(Count(html, "<table class=\"rows\""), 3u);  // two columns and the totals
    const size_t secondColumn = html.find("<table class=\"rows\"", html.find("<table class=\"rows\"") + 1);
    const size_t channel1 = html.find(">Канал 1</td>");
    const size_t itsFuel = html.find("АИ-95 &amp;");
    EXPECT_EQ(channel1 < secondColumn, itsFuel < secondColumn);
    // Each column holds something when there are several groups.
    EXPECT_LT(html.find("class=\"group\""), secondColumn);
    EXPECT_NE(html.find("class=\"group\"", secondColumn), std::string::npos);
}

TEST(SettingsReport, EmptyReportStillMakesAWholePage) {
    const std::string html = CommissioningReportHtml({});
    EXPECT_EQ(Count(html, "{{"), 0u);
    EXPECT_NE(html.find("</html>"), std::string::npos);
    EXPECT_NE(html.find("Не прочитаны."), std::string::npos);  // no totals read
}

TEST(SettingsReport, FormatFollowsTheExtension) {
    const std::pair<const char*, ReportFormat> cases[] = {
        {"report.html", ReportFormat::Html}, {"REPORT.HTM", ReportFormat::Html}, {"a.b/report.Pdf", ReportFormat::Pdf},
        {"/tmp/x.pdf", ReportFormat::Pdf},   {"report.txt", ReportFormat::None}, {"report", ReportFormat::None},
        {"dir.pdf/report", ReportFormat::None}, {"report.pdf.txt", ReportFormat::None}, {".pdf", ReportFormat::Pdf},
        {"", ReportFormat::None},             {"report.", ReportFormat::None},
    };
    for (const auto& [path, format] : cases) EXPECT_EQ(ReportFormatOf(path), format) << path;
    EXPECT_NE(ReportFormatRefusal("a.txt").find("a.txt"), std::string::npos);
}

}  // namespace
