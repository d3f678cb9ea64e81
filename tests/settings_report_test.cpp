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
    r.Device = "Ornix ТРК-5";
    r.Identification = {{"", "Тип устройства", "Ornix ТРК-5 <v2>", ""}, {"", "Прошивка", "v2.5 от 01.02.2013", ""},
                        {"", "MD5", "0123456789ABCDEF0123456789ABCDEF", ""}};
    r.Settings = {{"Конфигурация", "Количество каналов", "2", "cfg.channels"},
                  {"Конфигурация", "Цена без копеек", "нет", "cfg.kazakh"},
                  {"Канал 1", "Цена, (руб/литр)", "54,90", "channel.1.price"},
                  {"Канал 1", "Название топлива", "АИ-95 & <ДТ>", "channel.1.fuel"},
                  {"Канал 2", "Цена, (руб/литр)", "61,20", "channel.2.price"},
                  {"Канал 2", "Название топлива", "{{read_at}}", "channel.2.fuel"},
                  {"Канал 2", "Адрес VRX2.0", "7", "channel.2.vrx"},
                  {"Часы", "Часовой пояс", "+3", "time.zone"},
                  {"Расходомер 1", "Тип", "Крипто", "flowmeter.1.type"}};
    r.Counters = {{"Канал 1", "Суммарник, (л)", "1234,567", ""}, {"Канал 2", "Суммарник, (л)", "0", ""},
                  {"Канал 1", "Суммарник денежный, (руб)", "67800,5", ""}};
    r.ReadAt = "10.12.2026 21:30:00";
    r.Tool = "ornix-tester 1.0.0";
    return r;
}

TEST(SettingsReport, PageNamesTheDeviceEveryValueAndTotalEscaped) {
    const std::string html = CommissioningReportHtml(Sample());
    for (const char* shown : {"Ornix ТРК-5", "Ornix ТРК-5 &lt;v2&gt;", "v2.5 от 01.02.2013",
                              "0123456789ABCDEF0123456789ABCDEF", "Количество каналов", "54,90", "61,20",
                              "АИ-95 &amp; &lt;ДТ&gt;", "+3", "Крипто", "1234,567", "67800,5",
                              "Суммарник денежный, (руб)", "10.12.2026 21:30:00", "ornix-tester 1.0.0",
                              "<meta charset=\"utf-8\">"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    // A value that looks like a placeholder stays as typed; every real one is filled.
    EXPECT_EQ(Count(html, "{{"), 1u);
    EXPECT_NE(html.find("{{read_at}}"), std::string::npos);
    EXPECT_EQ(html.find("<ДТ>"), std::string::npos);
    EXPECT_EQ(html.find("<v2>"), std::string::npos);
    // The device is named in the title and the headline; keys are the program's, not the reader's.
    EXPECT_EQ(Count(html, "Ornix ТРК-5</"), 2u);
    EXPECT_EQ(html.find("channel.1.price"), std::string::npos);
}

// The cells of the table row that starts with `caption`, after `from`.
std::vector<std::string> RowCells(const std::string& html, const std::string& caption, size_t from = 0) {
    size_t start = html.find("<tr><td class=\"caption\">" + caption + "</td>", from);
    if (start == std::string::npos) start = html.find("<tr><td>" + caption + "</td>", from);
    if (start == std::string::npos) return {};
    const size_t end = html.find("</tr>", start);
    std::vector<std::string> cells;
    for (size_t at = html.find("<td class=\"value\">", start); at < end; at = html.find("<td class=\"value\">", at + 1)) {
        const size_t open = html.find('>', at) + 1;
        cells.push_back(html.substr(open, html.find("</td>", open) - open));
    }
    return cells;
}

TEST(SettingsReport, NumberedGroupsShareATableWithAColumnEachAsTheChannelViewShowsThem) {
    const std::string html = CommissioningReportHtml(Sample());
    EXPECT_NE(html.find("<tr><th></th><th>Канал 1</th><th>Канал 2</th></tr>"), std::string::npos);
    EXPECT_EQ(RowCells(html, "Цена, (руб/литр)"), (std::vector<std::string>{"54,90", "61,20"}));
    EXPECT_EQ(RowCells(html, "Название топлива"), (std::vector<std::string>{"АИ-95 &amp; &lt;ДТ&gt;", "{{read_at}}"}));
    // A caption only one member has leaves the others' cells empty.
    EXPECT_EQ(RowCells(html, "Адрес VRX2.0"), (std::vector<std::string>{"", "7"}));
    // A family of one member is a table of its own; counters are laid out the same way.
    EXPECT_NE(html.find("<tr><th></th><th>Расходомер 1</th></tr>"), std::string::npos);
    const size_t counters = html.find("Счётчики и суммарники");
    EXPECT_EQ(RowCells(html, "Суммарник, (л)", counters), (std::vector<std::string>{"1234,567", "0"}));
    EXPECT_EQ(RowCells(html, "Суммарник денежный, (руб)", counters), (std::vector<std::string>{"67800,5", ""}));
    // Unnumbered groups stand as caption and value, not as tables.
    EXPECT_EQ(RowCells(html, "Часовой пояс"), (std::vector<std::string>{"+3"}));
}

TEST(SettingsReport, AGroupOfMostlyPerMemberRowsIsAGridItsOtherRowsAbove) {
    CommissioningReport r;
    r.Settings = {{"Логические каналы", "Кол-во каналов :", "2", ""},
                  {"Логические каналы", "Канал 1: Шланги", "1", ""},
                  {"Логические каналы", "Канал 1: Табло 1", "да", ""},
                  {"Логические каналы", "Канал 2: Шланги", "2", ""},
                  {"Логические каналы", "Канал 2: Табло 1", "нет", ""},
                  {"Датчики", "Инверсия : 1", "нет", ""},
                  {"Датчики", "Инверсия : 2", "да", ""},
                  {"Датчики", "Кнопка : 2", "да", ""},
                  // Mostly rows of its own: two members do not make it a grid.
                  {"Конфигурация", "Округлять дозу", "нет", ""},
                  {"Конфигурация", "Цена без копеек", "нет", ""},
                  {"Конфигурация", "Инверсия кнопок : 1", "нет", ""},
                  {"Конфигурация", "Инверсия кнопок : 2", "да", ""}};
    const std::string html = CommissioningReportHtml(r);
    EXPECT_NE(html.find("<tr><th>Логические каналы</th><th>Канал 1</th><th>Канал 2</th></tr>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td class=\"caption\">Кол-во каналов :</td><td class=\"value\" colspan=\"2\">2</td></tr>"),
              std::string::npos);
    EXPECT_EQ(RowCells(html, "Шланги"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(RowCells(html, "Табло 1"), (std::vector<std::string>{"да", "нет"}));
    EXPECT_NE(html.find("<tr><th>Датчики</th><th>1</th><th>2</th></tr>"), std::string::npos);
    EXPECT_EQ(RowCells(html, "Инверсия"), (std::vector<std::string>{"нет", "да"}));
    EXPECT_EQ(RowCells(html, "Кнопка"), (std::vector<std::string>{"", "да"}));
    EXPECT_EQ(RowCells(html, "Инверсия кнопок : 2"), (std::vector<std::string>{"да"}));
    EXPECT_NE(html.find("<td class=\"group\" colspan=\"2\">Конфигурация</td>"), std::string::npos);
}

TEST(SettingsReport, ManyMembersAreSharedOutOverTablesOfEqualWidth) {
    // Members -> members in each table: at most six side by side, the tables as even as may be.
    const std::pair<int, std::vector<int>> cases[] = {
        {1, {1}}, {5, {5}}, {6, {6}}, {7, {4, 3}}, {10, {5, 5}}, {12, {6, 6}}, {15, {5, 5, 5}}};
    for (const auto& [members, widths] : cases) {
        CommissioningReport r;
        for (int m = 1; m <= members; ++m) r.Settings.push_back({"Канал " + std::to_string(m), "Цена", "1", ""});
        const std::string html = CommissioningReportHtml(r);
        std::vector<int> shown;
        for (size_t at = html.find("<tr><th></th>"); at != std::string::npos; at = html.find("<tr><th></th>", at + 1))
            shown.push_back(int(Count(html.substr(at, html.find("</tr>", at) - at), "<th>")) - 1);  // less the corner
        EXPECT_EQ(shown, widths) << members;
        EXPECT_EQ(Count(html, "<td class=\"value\">1</td>"), size_t(members)) << members;
    }
}

TEST(SettingsReport, PlainGroupsStayWholeInOrderAcrossTwoColumns) {
    CommissioningReport r = Sample();
    // A group that comes back after another is shown again where it comes.
    r.Settings.push_back({"Конфигурация", "Протокол", "Ornix", "protocol"});
    const std::string html = CommissioningReportHtml(r);
    const std::vector<std::string> groups = {"Идентификация", "Конфигурация", "Часы", "Конфигурация"};
    size_t at = 0;
    for (const std::string& g : groups) {
        const size_t found = html.find("<td class=\"group\" colspan=\"2\">" + g + "</td>", at);
        ASSERT_NE(found, std::string::npos) << g << " after " << at;
        at = found + 1;
    }
    // Two columns, each a table of its own; a group's rows follow its heading in the same table.
    const size_t firstColumn = html.find("<table class=\"rows\"");
    const size_t secondColumn = html.find("<table class=\"rows\"", firstColumn + 1);
    ASSERT_NE(secondColumn, std::string::npos);
    EXPECT_LT(html.find("<td>MD5</td>"), secondColumn);
    EXPECT_GT(html.find("<td>Протокол</td>"), secondColumn);
    EXPECT_EQ(html.find(">Конфигурация</td>") < secondColumn, html.find("<td>Цена без копеек</td>") < secondColumn);
    // Each column holds something.
    EXPECT_NE(html.find("class=\"group\"", secondColumn), std::string::npos);
}

TEST(SettingsReport, RecordOfASnapshotCarriesItsIdentificationAndCounters) {
    SettingsSnapshot s;
    s.Identity.DeviceTypeText = "Ornix ТРК-3";
    s.Identity.Firmware = "v3.1 от 05.06.2024";
    s.Identity.Md5 = "FFEEDDCCBBAA99887766554433221100";
    s.Identity.VrxId = 4242;
    s.ReadAt = "01.02.2026 10:11:12";
    s.Counters = {{"Канал 1", "Суммарник, (л)", "12,5"}};
    const CommissioningReport r = CommissioningReportOf(s, "ornix-cli 1.0.0");
    EXPECT_EQ(r.Device, "Ornix ТРК-3");
    ASSERT_EQ(r.Identification.size(), 4u);
    const std::pair<const char*, const char*> identification[] = {
        {"Тип устройства", "Ornix ТРК-3"}, {"Прошивка", "v3.1 от 05.06.2024"},
        {"MD5", "FFEEDDCCBBAA99887766554433221100"}, {"VRX 2.0 Id", "4242"}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(r.Identification[i].Caption, identification[i].first);
        EXPECT_EQ(r.Identification[i].Text, identification[i].second);
    }
    ASSERT_EQ(r.Counters.size(), 1u);
    EXPECT_EQ(r.Counters[0].Text, "12,5");
    EXPECT_EQ(r.ReadAt, "01.02.2026 10:11:12");
    EXPECT_EQ(r.Tool, "ornix-cli 1.0.0");
    EXPECT_EQ(r.Settings.size(), Rows(s).size());
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
