// ornix-cli against the virtual controller: every command once with what it prints and its
// exit status, the failures by their kind, and a refused value that sends nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/CliConfigKeys.h"
#include "cli/CliPollNames.h"
#include "cli/CliSearchProgress.h"
#include "cli/CliRun.h"
#include "cli/CliSettings.h"
#include "cli/CliValues.h"
#include "link/ComPortUnit.h"
#include "engine/StatusRows.h"
#include "link/ExchangeLog.h"
#include "link/UserFormats.h"
#include "tests/support/CapturedRun.h"
#include "tests/support/SimHarness.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CliValues, TakenExactlyOrRefused) {
    struct Row {
        const char* Text;
        int Decimals;
        long long Max;
        std::optional<long long> Value;
    } rows[] = {
        {"54.30", 2, 1000000, 5430}, {"54,3", 2, 1000000, 5430}, {"54", 2, 1000000, 5400},
        {"0.005", 3, 1000000, 5},    {".5", 2, 1000000, 50},     {"7.", 2, 1000000, 700},
        {"54.301", 2, 1000000, {}},  {"1.2.3", 2, 1000000, {}},  {"-1", 2, 1000000, {}},
        {"", 2, 1000000, {}},        {".", 2, 1000000, {}},      {"1e3", 2, 1000000, {}},
        {" 5", 2, 1000000, {}},      {"10000.01", 2, 1000000, {}},  {"9999.99", 2, 1000000, 999999},
        {"99999999999999999999", 0, 4294967295LL, {}},
    };
    for (const Row& r : rows) EXPECT_EQ(ParseDecimalValue(r.Text, r.Decimals, r.Max), r.Value) << r.Text;
}

TEST(CliRun, TheWorstExchangeDecides) {
    auto figures = [](std::map<int, uint32_t> errors, uint8_t command = 8) {
        CommandFigures f;
        f.exchanges = 3;
        f.errors = std::move(errors);
        return LinkFigures{{command, f}, {uint8_t(command + 1), CommandFigures{2, 2, {}, 0, 0}}};
    };
    struct Row {
        const char* Name;
        LinkFigures Figures;
        CliForgiven Forgiven;
        int Exit, Code;
    } rows[] = {
        {"all answered", figures({}), {}, 0, 0},
        {"a refusal", figures({{18, 1}}), {}, 1, 18},
        {"silence beats a refusal", figures({{18, 2}, {-1, 1}}), {}, 2, -1},
        {"a broken answer", figures({{-2, 1}}), {}, 2, -2},
        {"silence of a search", figures({{-1, 5}}), {.Silence = true}, 0, 0},
        {"a conflict in a search", figures({{-1, 5}, {-2, 1}}), {.Silence = true}, 2, -2},
        {"a courtesy refused", figures({{187, 1}}, 207), {.RefusalOf = 207}, 0, 0},
        {"a courtesy unanswered", figures({{-1, 1}}, 207), {.RefusalOf = 207}, 2, -1},
        {"another refused", figures({{187, 1}}, 208), {.RefusalOf = 207}, 1, 187},
    };
    for (const Row& r : rows) {
        const ExchangeVerdict v = JudgeExchanges(r.Figures, r.Forgiven);
        EXPECT_EQ(v.Exit, r.Exit) << r.Name;
        EXPECT_EQ(v.Code, r.Code) << r.Name;
        EXPECT_EQ(v.Exchanges, 5) << r.Name;
    }
}

TEST(CliConfigKeys, EveryKindOfControlBothWays) {
    struct Row {
        const char* Setting;
        const char* Refusal;  // start of the message, "" when taken
    } rows[] = {
        {"channels=3", ""},        {"channels=6", "Неверное значение"}, {"kazakhPrice=1", ""},
        {"kazakhPrice=2", "Неверное"}, {"invAvarBtn.2=1", ""},      {"invAvarBtn.3=1", "Неизвестный ключ"},
        {"trigNozzle.5=1", ""},    {"pumpOut.4=15", ""},          {"pumpOut.4=0", "Неверное"},
        {"hoseFlowmeter.1=5", ""}, {"hoseFlowmeter.1=6", "Неверное"}, {"board.2.4=1", ""},
        {"board.2.5=1", "Неизвестный"}, {"hoseSet.3=1+2+4", ""},  {"hoseSet.3=1+1", "Неверное"},
        {"pumpOut.4", "ожидается"}, {"=1", "Неизвестный"},
    };
    TrkCfgControls controls;
    for (const Row& r : rows) {
        const TrkCfgControls before = controls;
        const std::string error = ApplyConfigSetting(controls, r.Setting);
        EXPECT_TRUE(error.starts_with(r.Refusal)) << r.Setting << ": " << error;
        if (*r.Refusal) {
            EXPECT_EQ(controls, before) << r.Setting;
            continue;
        }
        // What was set reads back as it was given.
        const std::string setting = r.Setting;
        const auto values = ConfigKeyValues(controls);
        const auto key = setting.substr(0, setting.find('='));
        const auto it = std::find_if(values.begin(), values.end(), [&](auto& kv) { return kv.first == key; });
        ASSERT_NE(it, values.end()) << key;
        EXPECT_EQ(it->first + "=" + it->second, setting);
    }
    EXPECT_EQ(controls.ChannelCountIndex, 2);
    EXPECT_EQ(controls.PumpOut[3], 14);
    EXPECT_TRUE(controls.ChannelBoard[1][3]);
}

// A script addresses a value by view, group, row caption and column: two rows with one
// caption in one group would overwrite each other.
TEST(CliPollNames, EveryValueHasAKeyOfItsOwn) {
    for (const NamedView& view : PollViews()) {
        std::set<std::pair<int, std::string>> keys;
        for (const ViewRow& row : view.Catalog->rows)
            EXPECT_TRUE(keys.insert({row.group, row.caption}).second) << view.Key << ": " << row.caption;
    }
}

TEST(CliPollNames, CellsByGroupRowAndColumn) {
    const NamedView& controller = PollViews()[0];
    const NamedView& channels = PollViews()[1];
    const NamedView& valves = PollViews()[2];
    ASSERT_STREQ(channels.Key, "channels");
    std::vector<std::string> lines;
    nlohmann::ordered_json out;
    // Rows 9 and 28 share the caption "Запущено, (л)" in two groups; channel 6 is a column the
    // window adds; row 99 is no row of the view.
    NameCells(channels, {{{28, 0}, "3"}, {{9, 0}, "5"}, {{9, 5}, "7"}, {{99, 0}, "x"}}, lines, out);
    EXPECT_EQ(out.dump(), R"j({"Запущенная доза":{"Запущено, (л)":{"1":"5","6":"7"}},)j"
                          R"j("Данные о последней заправке":{"Запущено, (л)":{"1":"3"}}})j");
    EXPECT_EQ(lines, (std::vector<std::string>{"Запущенная доза", "  Запущено, (л) [Канал 1]: 5",
                                               "  Запущено, (л) [Канал 6]: 7", "Данные о последней заправке",
                                               "  Запущено, (л) [Канал 1]: 3"}));
    lines.clear();
    NameCells(controller, {{{3, 0}, "24 В"}, {{36, 0}, "24.1"}}, lines, out);
    EXPECT_EQ(out["Состояние ТРК"]["Напряжение питания, (В)"], "24 В");
    EXPECT_EQ(out["Контроллер пропорциональных клапанов"]["Напряжение питания, (В)"], "24.1");
    EXPECT_EQ(lines[1], "  Напряжение питания, (В): 24 В");
    lines.clear();
    // A view without groups has no group level.
    NameCells(valves, {{{0, 4}, "1.5"}}, lines, out);
    EXPECT_EQ(out.dump(), R"j({"Ток пропорционального клапана, (А)":{"5":"1.5"}})j");
    EXPECT_EQ(lines, std::vector<std::string>{"Ток пропорционального клапана, (А) [Клапан 5]: 1.5"});
}

TEST(CliSearchProgress, RateAddressAndTimeLeft) {
    const SearchPlan plan{{19200, 4800, 9600}, 1, 10, 5};  // 10 + 5 + 10 probes
    struct Row {
        const char* Status;
        double Elapsed;
        std::optional<std::string> Text;
    } rows[] = {
        {"Поиск сетевых адресов 19200 5...", 5, "Поиск: 19200 бит/с, адрес 5 (скорость 1 из 3), осталось 20 с"},
        {"Поиск сетевых адресов 4800 5...Нет ответа", 15, "Поиск: 4800 бит/с, адрес 5 (скорость 2 из 3), осталось 10 с"},
        {"Поиск сетевых адресов 9600 1...OK", 160, "Поиск: 9600 бит/с, адрес 1 (скорость 3 из 3), осталось 1 мин 30 с"},
        {"Поиск сетевых адресов 9600 10...", 25, "Поиск: 9600 бит/с, адрес 10 (скорость 3 из 3), осталось 0 с"},
        {"Поиск сетевых адресов 57600 1...", 1, std::nullopt},  // a rate outside the plan
        {"Чтение времени...OK", 1, std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(SearchProgressText(r.Status, plan, r.Elapsed), r.Text) << r.Status;
}

TEST(CliSettings, TheWindowsFilesBesideThisProgram) {
    EXPECT_EQ(TesterPathBeside("/opt/ornix/bin/ornix-cli"), "/opt/ornix/bin/ornix-tester");
}

class CliE2e : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ornix-cli-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        SetExchangeLogPath((dir_ / "tester.log").string());
        SimConfig config;
        config.Controller.Pouring.Customers = false;
        sim_ = std::make_unique<SimHarness>(config);
        ASSERT_TRUE(sim_->Started()) << sim_->Error();
        c_.Link = {sim_->PortName(), 9600, 1};
        ComPort.SetLine(nullptr);  // the real serial line, whatever an earlier test put there
    }
    void TearDown() override {
        SetExchangeLogPath("");
        fs::remove_all(dir_);
    }

    using Run = CapturedRun;
    Run Cli(const std::function<int(const CliContext&)>& command) {
        return RunCaptured([&] { return command(c_); });
    }
    std::string Log() const { return ReadFile(dir_ / "tester.log"); }

    fs::path dir_;
    std::unique_ptr<SimHarness> sim_;
    CliContext c_;
};

TEST_F(CliE2e, EveryCommandOnce) {
    const std::string readme = (dir_ / "readme.txt").string(), dump = (dir_ / "dump.txt").string();
    struct Row {
        const char* Name;
        std::function<int(const CliContext&)> Command;
        int Exit;
        const char* Shows;     // in stdout
        const char* Says = "";  // in stderr
    } rows[] = {
        {"identify", [](auto& c) { return CliIdentify(c); }, 0, "5-канальная ТРК"},
        {"poll", [](auto& c) { return CliPoll(c, 2); }, 0, "\n  Напряжение питания, (В): 24 В\n"},
        {"time set", [](auto& c) { return CliTimeSet(c, "01.02.2025 10:20:30"); }, 0, "Запись времени...OK"},
        {"time get", [](auto& c) { return CliTimeGet(c); }, 0, " 01.02.2025 10:20:3"},
        {"time set now", [](auto& c) { return CliTimeSet(c, "now"); }, 0, "Запись времени...OK"},
        {"price set", [](auto& c) { return CliPriceSet(c, 2, "12.34"); }, 0, "...OK"},
        {"price get", [](auto& c) { return CliPriceGet(c, 2); }, 0, "12.34\n"},
        {"whole units", [](auto& c) { return CliConfigSet(c, {"kazakhPrice=1"}); }, 0, "...OK"},
        {"price with kopecks in whole units", [](auto& c) { return CliPriceSet(c, 2, "12.5"); }, 64, ""},
        {"price in whole units", [](auto& c) { return CliPriceSet(c, 2, "13"); }, 0, "...OK"},
        {"price get in whole units", [](auto& c) { return CliPriceGet(c, 2); }, 0, "13\n"},
        {"kopecks again", [](auto& c) { return CliConfigSet(c, {"kazakhPrice=0"}); }, 0, "...OK"},
        {"dose", [](auto& c) { return CliDose(c, 2, "1.5", ""); }, 0, "...OK"},
        {"dose stop", [](auto& c) { return CliDoseStep(c, "stop", 2); }, 0, "...OK"},
        {"dose continue", [](auto& c) { return CliDoseStep(c, "continue", 2); }, 0, "...OK"},
        {"sd ls", [](auto& c) { return CliSdList(c); }, 0, "README.TXT\n"},
        {"sd get", [&](auto& c) { return CliSdGet(c, "README.TXT", readme); }, 0, "...OK"},
        {"sd get of no file", [&](auto& c) { return CliSdGet(c, "NONE.TXT", readme + "2"); }, 1, ""},
        {"memory dump", [&](auto& c) { return CliMemoryDump(c, dump); }, 0, "...OK"},
        {"rate the controller refuses", [](auto& c) { return CliRateSet(c, 4800); }, 1, "Ошибка 18"},
        {"address set", [](auto& c) { return CliAddressSet(c, 7); }, 0, "Установка сетевого адреса 7...OK"},
        {"identify at the old address", [](auto& c) { return CliIdentify(c); }, 2, "...Нет ответа"},
        {"address set back", [](auto c) { c.Link.Address = 7; return CliAddressSet(c, 1); }, 0, "...OK"},
        {"rate set", [](auto& c) { return CliRateSet(c, 19200); }, 0, "...OK"},
        {"identify at the new rate", [](auto c) { c.Link.BitRate = 19200; return CliIdentify(c); }, 0, "ТРК"},
        // Channel 2 shares channel 1's pump output: allowed, unlike a shared valve output.
        {"config set", [](auto c) { c.Link.BitRate = 19200; return CliConfigSet(c, {"pumpOut.2=3", "waitNozzleFree=1"}); },
         0, "Запись конфигурации ТРК...OK"},
        {"config get", [](auto c) { c.Link.BitRate = 19200; return CliConfigGet(c); }, 0, "\npumpOut.2=3\n"},
        // Read, found in conflict as the configuration window would mark it, and not written.
        {"config of two channels on one hose",
         [](auto c) { c.Link.BitRate = 19200; return CliConfigSet(c, {"hoseSet.1=1", "hoseSet.3=1"}); }, 64, "",
         "config set: Наборы шлангов в конфликте, каналы 1, 3\n"},
        {"config of one output twice",
         [](auto c) { c.Link.BitRate = 19200; return CliConfigSet(c, {"smallValveOut.4=3", "largeValveOut.4=3"}); }, 64, "",
         "config set: Силовые выходы в конфликте, каналы 1, 2, 4\n"},
        {"config unchanged by them", [](auto c) { c.Link.BitRate = 19200; return CliConfigGet(c); }, 0, "\nhoseSet.3=3\n"},
        {"search", [](auto& c) { return CliSearch(c, 1, 2); }, 0, "19200 1 найдено 5-канальная ТРК\n"},
        {"no such port", [](auto c) { c.Link.Port = "ttyNoSuchPort"; return CliIdentify(c); }, 2, "",
         "identify: Не могу открыть ttyNoSuchPort (нет такого порта)\n"},
    };
    for (const Row& r : rows) {
        const Run run = Cli(r.Command);
        EXPECT_EQ(run.Exit, r.Exit) << r.Name << "\n" << run.Out << run.Err;
        EXPECT_NE(run.Out.find(r.Shows), std::string::npos) << r.Name << "\n" << run.Out;
        // A failure is named on stderr; a success says nothing there but the search's progress.
        std::istringstream err(run.Err);
        bool progressOnly = true;
        for (std::string line; std::getline(err, line);) progressOnly = progressOnly && line.starts_with("Поиск: ");
        EXPECT_EQ(progressOnly, r.Exit == 0) << r.Name << "\n" << run.Err;
    }
    EXPECT_NE(ReadFile(readme).find("Ornix"), std::string::npos);
    EXPECT_FALSE(fs::exists(readme + "2"));
    EXPECT_NE(ReadFile(dump).find(" Req: 01 00 00 "), std::string::npos);
    EXPECT_NE(Log().find("Request:"), std::string::npos);
}

// What a refusal says: the value given and what is allowed, in the user's decimal separator.
TEST_F(CliE2e, RefusedValuesSendNothing) {
    const UserFormats saved = CurrentUserFormats();
    UserFormats russian = saved;
    russian.DecimalSeparator = ",";
    SetUserFormats(russian);
    struct Row {
        const char* Name;
        std::function<int(const CliContext&)> Command;
        const char* Message;
    } rows[] = {
        {"price with three decimals", [](auto& c) { return CliPriceSet(c, 1, "54.301"); },
         "price set: Неправильная цена 54.301. Цена: 0,01…42949672,95"},
        {"price of nothing", [](auto& c) { return CliPriceSet(c, 1, "0"); },
         "price set: Неправильная цена 0. Цена: 0,01…42949672,95"},
        {"price beyond 32 bits", [](auto& c) { return CliPriceSet(c, 1, "42949672.96"); }, "Цена: 0,01…42949672,95"},
        {"price of channel 16", [](auto& c) { return CliPriceSet(c, 16, "1"); },
         "price set: Неправильный канал 16. Канал: 1…15"},
        {"dose of nothing", [](auto& c) { return CliDose(c, 1, "0", ""); },
         "dose: Неправильный объём 0. Объём, (л): 0,001…4294967,295"},
        {"dose of no money", [](auto& c) { return CliDose(c, 1, "", "1.001"); },
         "dose: Неправильная сумма 1.001. Сумма, (руб): 0,01…42949672,95"},
        {"dose both ways", [](auto& c) { return CliDose(c, 1, "1", "2"); }, "dose: Нужно одно из --litres и --money"},
        // The window's rule: beyond 127 the searches would not find the controller again.
        {"address 255", [](auto& c) { return CliAddressSet(c, 255); }, "Адрес должен быть от 1 до 127"},
        {"address 200 at 9600", [](auto& c) { return CliAddressSet(c, 200); }, "Адрес должен быть от 1 до 127"},
        {"address 226 at 4800", [](auto c) { c.Link.BitRate = 4800; return CliAddressSet(c, 226); },
         "Адрес должен быть от 1 до 225"},
        {"rate of no divisor", [](auto& c) { return CliRateSet(c, 12345); },
         "rate set: Недопустимая скорость обмена 12345. Скорость обмена: 4800, 9600, 19200, 38400, 57600, 115200"},
        {"time of no day", [](auto& c) { return CliTimeSet(c, "31.02.2025 10:00:00"); },
         "time set: Неверный формат времени: 31.02.2025 10:00:00. Время: now или \"дд.мм.гггг чч:мм:сс\" по Гринвичу"},
        {"search range upside down", [](auto& c) { return CliSearch(c, 9, 2); },
         "search: Неправильный диапазон адресов 9…2. Адреса: 1…254, первый не больше последнего"},
        {"config with one bad value", [](auto& c) { return CliConfigSet(c, {"pumpOut.1=2", "pumpOut.2=16"}); },
         "config set: Неверное значение: pumpOut.2=16. pumpOut.2: 1…15"},
        {"config flag", [](auto& c) { return CliConfigSet(c, {"kazakhPrice=2"}); }, "kazakhPrice: 0 или 1"},
        {"config of no key", [](auto& c) { return CliConfigSet(c, {"pumpOut.16=1"}); },
         "Неизвестный ключ: pumpOut.16 (ключи и значения печатает config get)"},
    };
    for (const Row& r : rows) {
        const Run run = Cli(r.Command);
        EXPECT_EQ(run.Exit, kExitUsage) << r.Name;
        EXPECT_NE(run.Err.find(r.Message), std::string::npos) << r.Name << ": " << run.Err;
    }
    SetUserFormats(saved);
    EXPECT_EQ(Log().find("Request:"), std::string::npos) << Log();
}

// "sd get" copies the card's file byte for byte; a file the controller ends before its size is
// a failure that names where it ended, and no damaged copy is left.
TEST_F(CliE2e, SdGetCopiesEveryByteOrFails) {
    std::vector<uint8_t> binary(1040);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = uint8_t(i * 7);  // zeros, 0x98 and all
    sim_.reset();
    SimConfig config;
    config.Controller.Pouring.Customers = false;
    config.Controller.Service.SdFiles = {{"DATA.BIN", binary}, {"CUT.BIN", binary, 300}};
    sim_ = std::make_unique<SimHarness>(config);
    ASSERT_TRUE(sim_->Started()) << sim_->Error();
    c_.Link.Port = sim_->PortName();
    const std::string copy = (dir_ / "data.bin").string(), cut = (dir_ / "cut.bin").string();

    Run run = Cli([&](auto& c) { return CliSdGet(c, "DATA.BIN", copy); });
    EXPECT_EQ(run.Exit, kExitDone) << run.Err;
    EXPECT_EQ(ReadFile(copy), std::string(binary.begin(), binary.end()));

    run = Cli([&](auto& c) { return CliSdGet(c, "CUT.BIN", cut); });
    EXPECT_EQ(run.Exit, kExitNoLink) << run.Out;
    EXPECT_NE(run.Err.find("файл оборвался на байте 1040 из 1340"), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(cut));
}

TEST_F(CliE2e, MemoryDumpOfAnEmptyMemoryIsAnEmptyFile) {
    const std::string dump = (dir_ / "empty.txt").string();
    const Run run = Cli([&](auto& c) { return CliMemoryDump(c, dump); });
    EXPECT_EQ(run.Exit, kExitDone) << run.Err;
    EXPECT_TRUE(fs::exists(dump));
    EXPECT_EQ(ReadFile(dump), "");
}

TEST_F(CliE2e, AnUnwritableExchangeLogIsSaidOnce) {
    SayExchangeLogProblemsOnStderr();
    const std::string missing = (dir_ / "no-such-folder" / "tester.log").string();
    SetExchangeLogPath(missing);
    const Run first = Cli([](auto& c) { return CliIdentify(c); });
    const Run second = Cli([](auto& c) { return CliIdentify(c); });
    SetExchangeLogProblemReport({});
    EXPECT_EQ(first.Exit, kExitDone);
    const std::string line = "ornix-cli: Не могу записать журнал обмена " + missing + " (";
    const size_t at = first.Err.find(line);
    ASSERT_NE(at, std::string::npos) << first.Err;
    EXPECT_EQ(first.Err.find(line, at + 1), std::string::npos) << first.Err;
    EXPECT_EQ(second.Err, "");
}

// What a failure names once the controller was asked: the target that stayed silent, the file
// that is not there, the clock's two readings by their labels.
TEST_F(CliE2e, FailuresNameTheirTarget) {
    const std::string port = sim_->PortName();
    struct Row {
        const char* Name;
        std::function<int(const CliContext&)> Command;
        int Exit;
        std::string Out, Err;  // expected parts of stdout and stderr
    } rows[] = {
        {"silence", [](auto c) { c.Link.Address = 9; return CliTimeGet(c); }, 2, "",
         "ornix-cli: time get: Нет ответа (порт " + port + ", 9600 бит/с, адрес 9)\n"},
        {"no such file", [&](auto& c) { return CliSdGet(c, "NONE.TXT", (dir_ / "none").string()); }, 1, "",
         "ornix-cli: sd get: файл не найден\n"},
        {"clock", [](auto& c) { return CliTimeGet(c); }, 0, "по Гринвичу : ", ""},
        {"clock, local", [](auto& c) { return CliTimeGet(c); }, 0, "\nМестное : ", ""},
    };
    for (const Row& r : rows) {
        const Run run = Cli(r.Command);
        EXPECT_EQ(run.Exit, r.Exit) << r.Name;
        EXPECT_NE(run.Out.find(r.Out), std::string::npos) << r.Name << ": " << run.Out;
        EXPECT_NE(run.Err.find(r.Err), std::string::npos) << r.Name << ": " << run.Err;
    }
}

TEST_F(CliE2e, JsonNamesTheFailure) {
    c_.Json = true;
    c_.Link.Address = 9;
    const Run run = Cli([](auto& c) { return CliIdentify(c); });
    const auto j = nlohmann::json::parse(run.Out);
    EXPECT_EQ(j["exit"], 2);
    EXPECT_EQ(j["ok"], false);
    EXPECT_EQ(j["error"]["code"], -1);
    EXPECT_EQ(j["error"]["text"], "Нет ответа (порт " + sim_->PortName() + ", 9600 бит/с, адрес 9)");
}

// The program itself: its arguments and their exit statuses.
int RunProgram(const std::string& args, std::string* out = nullptr, bool withErrors = false) {
    const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path() / "ornix-cli";
    FILE* p = popen((cli.string() + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        if (out) out->append(buffer, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts a program beside this test with its output thrown away, lets it run `settleMs`, sends
// `signal` and returns the wait status (killed after 20 s, so a hang fails instead of blocking).
int StatusAfterSignal(const std::string& program, std::vector<std::string> args, int signal, int settleMs) {
    const fs::path path = fs::read_symlink("/proc/self/exe").parent_path() / program;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    kill(pid, signal);
    int status = -1;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return status;
}

// SIGINT and SIGTERM end both programs through their normal close: a command in the middle of
// a long read stops and closes the port, so nobody finds it "busy" afterwards.
TEST_F(CliE2e, StopSignalsEndThroughTheNormalClose) {
    // At the line's own pace a memory dump takes over a minute: the signal finds it reading.
    sim_.reset();
    SimConfig config;
    config.Controller.Pouring.Customers = false;
    config.Pace = true;
    sim_ = std::make_unique<SimHarness>(config);
    ASSERT_TRUE(sim_->Started()) << sim_->Error();
    const std::string dump = (dir_ / "stopped.txt").string();
    struct Row {
        const char* Program;
        std::vector<std::string> Args;
        int Signal, Exit, SettleMs;
    } rows[] = {
        {"ornix-cli", {"--port", sim_->PortName(), "memory", "dump", dump}, SIGINT, 128 + SIGINT, 1500},
        {"ornix-cli", {"--port", sim_->PortName(), "memory", "dump", dump}, SIGTERM, 128 + SIGTERM, 1500},
        {"ornix-tester", {"-platform", "offscreen"}, SIGTERM, 0, 3000},
        {"ornix-tester", {"-platform", "offscreen"}, SIGINT, 0, 3000},
    };
    for (const Row& r : rows) {
        const int status = StatusAfterSignal(r.Program, r.Args, r.Signal, r.SettleMs);
        ASSERT_TRUE(WIFEXITED(status)) << r.Program << " " << r.Signal << ": ended by signal "
                                       << (WIFSIGNALED(status) ? WTERMSIG(status) : -1);
        EXPECT_EQ(WEXITSTATUS(status), r.Exit) << r.Program << " " << r.Signal;
        // Opened again at once: the simulator's own clearing of a stale flag is not waited for.
        TECOMPort port;
        port.PortName = sim_->PortName();
        EXPECT_EQ(port.Open(), 0) << r.Program << " " << r.Signal << ": " << port.ResultText;
        port.Close();
    }
}

TEST_F(CliE2e, ProgramArgumentsAndExitStatus) {
    const std::string port = " --port " + sim_->PortName();
    struct Row {
        std::string Args;
        int Exit;
    } rows[] = {
        {"--version", 0},      {"--help", 0},          {"", 64},
        {"frobnicate", 64},    {"--baud 1234 identify", 64},
        {"price set 1", 64},   {"poll --passes 0", 64},
        {port + " price set 1 1.001", 64},
        {port + " --address 9 identify", 2},
    };
    for (const Row& r : rows) EXPECT_EQ(RunProgram(r.Args), r.Exit) << r.Args;

    // Usage errors in Russian with the option names kept; a missing or unknown command lists
    // the commands there are.
    const std::pair<std::string, std::string> usage[] = {
        {"frobnicate", "ornix-cli: неизвестная команда frobnicate. Команды: identify, poll, record, time, address, rate, "
                       "price, dose, config, search, memory, sd, settings\nСправка: ornix-cli --help\n"},
        {"", "ornix-cli: нужна команда: identify, poll, record, time,"},
        {"time", "ornix-cli: time: нужна команда: get, set\n"},
        {"sd cat X", "ornix-cli: sd: неизвестная команда cat. Команды: ls, get\n"},
        {"price set 1", "ornix-cli: price set: не задан аргумент VALUE\n"},
        {"price get 1 2", "ornix-cli: price get: неизвестная команда или лишний аргумент: 2\n"},
        {"--address 300 identify", "--address: допустимо 1…254, дано 300\n"},
        {"--baud 1234 identify", "--baud: допустимо 4800, 9600, 19200, 38400, 57600, 115200, дано 1234\n"},
        {"poll --passes x", "ornix-cli: poll: --passes: допустимо 1…100000, дано x\n"},
        {"search --to 255", "ornix-cli: search: --to: допустимо 1…254, дано 255\n"},
        {"--port", "ornix-cli: --port: не то число значений\n"},
    };
    for (const auto& [args, message] : usage) {
        std::string err;
        EXPECT_EQ(RunProgram(args, &err, true), kExitUsage) << args;
        EXPECT_NE(err.find(message), std::string::npos) << args << ": " << err;
    }
    std::string out;
    EXPECT_EQ(RunProgram(port + " --json poll --passes 5", &out), 0);
    const auto j = nlohmann::json::parse(out);
    EXPECT_EQ(j["identity"]["device"], "5-канальная ТРК");
    // Values by view, group, row caption and column from 1; every one a text.
    EXPECT_EQ(j["controller"]["Состояние ТРК"]["Тип устройства"], "5-канальная ТРК");
    EXPECT_TRUE(j["channels"]["Настройки каналов (можно редактировать)"]["Цена, (руб/литр)"]["5"].is_string());
    EXPECT_TRUE(j["valves"]["Ток пропорционального клапана, (А)"]["1"].is_string());
    EXPECT_TRUE(j["flowmeters"]["Настройки расходомеров (можно редактировать)"]["Тип расходомера"]["1"].is_string());
    EXPECT_TRUE(j["displays"]["Основное"]["Тип"]["6"].is_string());
    int values = 0;
    for (const char* view : {"controller", "channels", "valves", "flowmeters", "displays"}) {
        const nlohmann::json flat = j[view].flatten();
        for (const auto& leaf : flat.items()) {
            EXPECT_TRUE(leaf.value().is_string()) << leaf.key();
            EXPECT_EQ(leaf.key().find("ListView"), std::string::npos) << leaf.key();
            ++values;
        }
    }
    EXPECT_GT(values, 300);
}

}  // namespace
