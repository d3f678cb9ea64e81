// The rules of the settings entries and of the compare and restore window, without widgets:
// which rows are written, what each row's outcome reads, when the button may be pressed,
// what is said of a file that cannot be used and of a read that did not finish.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/dialogs/SettingsDiffRules.h"

namespace {

std::vector<SettingDifference> Differences() {
    return {{"Канал 1", "Цена, (руб/литр)", "54,90", "56,10", "channel.1.price"},
            {"Канал 2", "Название топлива", "АИ-92", "АИ-95", "channel.2.fuel"},
            {"Конфигурация", "Цена без копеек", "нет", "да", "cfg.kazakh"},
            {"Канал 5", "Цена, (руб/литр)", "", "61,00", "channel.5.price"}};
}

TEST(SettingsDiffRules, CheckedRowsGiveTheirKeysInTableOrderAndOpenTheButton) {
    struct Case {
        std::vector<bool> checked;
        bool running;
        std::vector<std::string> keys;
        bool enabled;
    };
    const Case cases[] = {
        {{true, true, true, true}, false, {"channel.1.price", "channel.2.fuel", "cfg.kazakh", "channel.5.price"}, true},
        {{false, true, false, true}, false, {"channel.2.fuel", "channel.5.price"}, true},
        {{false, false, false, false}, false, {}, false},
        {{true, false, false, false}, true, {"channel.1.price"}, false},  // a restore runs: no second one
        {{}, false, {}, false},
        {{true, true}, false, {"channel.1.price", "channel.2.fuel"}, true},  // fewer flags than rows
        {{false, false, false, false, true}, false, {}, true},               // a flag beyond the rows writes nothing
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(CheckedKeys(Differences(), cases[i].checked), cases[i].keys) << i;
        EXPECT_EQ(WriteSelectedEnabled(cases[i].checked, cases[i].running), cases[i].enabled) << i;
    }
}

TEST(SettingsDiffRules, RowsShowGroupCaptionAndBothTextsAMissingSettingAsSuch) {
    const auto rows = Differences();
    const DiffRowTexts first = DiffRowTextsOf(rows[0]);
    EXPECT_EQ(first.Group, "Канал 1");
    EXPECT_EQ(first.Caption, "Цена, (руб/литр)");
    EXPECT_EQ(first.Controller, "54,90");
    EXPECT_EQ(first.File, "56,10");
    EXPECT_EQ(DiffRowTextsOf(rows[3]).Controller, "нет");
    EXPECT_EQ(CompareSummary(0, "a.json"), "Настройки контроллера совпадают с файлом a.json");
    EXPECT_EQ(CompareSummary(4, "a.json"), "Отличий от файла a.json: 4");
}

TEST(SettingsDiffRules, EachRowSaysWhatBecameOfItAndTheSummaryCountsOnlyVerifiedOnes) {
    const RestoreRow verified{"channel.1.price", "Канал 1", "Цена, (руб/литр)", "56,10", true, true, ""};
    const RestoreRow refused{"channel.2.fuel", "Канал 2", "Название топлива", "АИ-95", false, false,
                             "Ошибка 5: неверный параметр"};
    const RestoreRow differs{"cfg.kazakh", "Конфигурация", "Цена без копеек", "да", true, false,
                             "прочитано \"нет\""};
    struct Case {
        const RestoreRow* row;
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {&verified, "записано, проверено", true},
        {&refused, "не записано: Ошибка 5: неверный параметр", false},
        {&differs, "записано, не проверено: прочитано \"нет\"", false},
        {nullptr, "не записано", false},
    };
    // The restore's own reasons repeat the state; said once.
    const RestoreRow stopped{"k", "", "", "", false, false, "Не записано: остановлено"};
    const RestoreRow unverified{"k", "", "", "", true, false, "Не проверено: нет ответа"};
    const RestoreRow notInFile{"k", "", "", "", false, false, "В файле нет этой настройки"};
    EXPECT_EQ(RestoreResultText(&stopped), "не записано: остановлено");
    EXPECT_EQ(RestoreResultText(&unverified), "записано, не проверено: нет ответа");
    EXPECT_EQ(RestoreResultText(&notInFile), "не записано: В файле нет этой настройки");
    for (const Case& c : cases) {
        EXPECT_EQ(RestoreResultText(c.row), c.text);
        EXPECT_EQ(RestoreRowVerified(c.row), c.ok);
    }

    // The last result of a key counts: the configuration may be written twice.
    const RestoreRow firstTry{"cfg.kazakh", "", "", "", false, false, "Ошибка 1"};
    const std::vector<RestoreRow> results{firstTry, verified, refused, differs};
    EXPECT_EQ(ResultOf(results, "cfg.kazakh"), &results[3]);
    EXPECT_EQ(ResultOf(results, "channel.9.price"), nullptr);

    struct Summary {
        bool complete, stopped;
        std::string error;
        std::vector<std::string> keys;
        std::string text;
    };
    const Summary summaries[] = {
        {true, false, "", {"channel.1.price"}, "Записано и проверено 1 из 1"},
        {false, false, "", {"channel.1.price", "channel.2.fuel", "cfg.kazakh"}, "Записано и проверено 1 из 3"},
        {false, false, "нет ответа", {"channel.1.price", "channel.5.price"}, "Записано и проверено 1 из 2; нет ответа"},
        {false, true, "", {"channel.1.price", "channel.5.price"}, "Записано и проверено 1 из 2; остановлено"},
    };
    for (const Summary& s : summaries) {
        SettingsJob job;
        job.Complete = s.complete;
        job.StopRequested = s.stopped;
        job.Error = s.error;
        job.Keys = s.keys;
        job.Results = results;
        EXPECT_EQ(RestoreSummary(job, s.keys.size()), s.text);
    }
}

TEST(SettingsDiffRules, AnUnreadableFileOrAHalfReadControllerIsSaidAndNotUsed) {
    EXPECT_EQ(SettingsFileFromText("/tmp/a.json", "", "No such file or directory").Error,
              "Не могу прочитать /tmp/a.json: No such file or directory");
    const LoadedSettingsFile broken = SettingsFileFromText("/tmp/b.json", "{\n  \"format\": 1,\n  oops\n}", "");
    EXPECT_EQ(broken.Error.rfind("/tmp/b.json: ", 0), 0u) << broken.Error;
    EXPECT_NE(broken.Error.find('3'), std::string::npos) << "names the line: " << broken.Error;

    SettingsJob job;
    job.Complete = true;
    EXPECT_EQ(IncompleteReadText(job), "");
    job.Complete = false;
    EXPECT_EQ(IncompleteReadText(job), "Настройки прочитаны не все");
    job.Error = "нет ответа";
    EXPECT_EQ(IncompleteReadText(job), "Настройки прочитаны не все: нет ответа");

    // Every task says what it is still doing, each in its own words.
    const SettingsTask tasks[] = {SettingsTask::Save, SettingsTask::Compare, SettingsTask::Restore, SettingsTask::Report};
    for (size_t i = 0; i < std::size(tasks); ++i) {
        EXPECT_EQ(SettingsBusyText(tasks[i]).rfind("Подождите: ", 0), 0u);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(SettingsBusyText(tasks[i]), SettingsBusyText(tasks[j]));
    }
}

}  // namespace
