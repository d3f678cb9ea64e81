// A controller's settings kept in a file, compared and written back: the file's texts both ways,
// malformed files, and ornix-cli settings against two virtual controllers set up differently.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/CliSettingsFile.h"
#include "commands/SettingsJobs.h"
#include "commands/SettingsJson.h"
#include "commands/SettingsTable.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "sim/SimOptions.h"
#include "tests/support/CapturedRun.h"
#include "tests/support/SimHarness.h"

namespace {

namespace fs = std::filesystem;

template <size_t N>
std::string HexOf(const std::array<uint8_t, N>& bytes) {
    std::string text;
    char pair[4];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", b);
        text += pair;
    }
    return text;
}

std::map<std::string, std::string> TextsByKey(const SettingsSnapshot& s) {
    std::map<std::string, std::string> texts;
    for (const SettingRow& row : Rows(s)) texts[row.Key] = row.Text;
    return texts;
}

// A controller of two channels, one board with sub-controller channels absent, set up with the
// awkward values: whole-unit prices, no selections, bits no window shows, a crypto flowmeter.
SettingsSnapshot AwkwardSnapshot() {
    SettingsSnapshot s;
    s.Identity = {33, "5-канальная ТРК", "v3.7 от 14.05.2024", "3A7F", 100001};
    s.ChannelCount = 2;
    s.ReadAt = "10.12.2026 21:00:00";
    s.TrkCfg = {2, 0x61, 0x2C, 0xF2, 0xF3, 0, 0, 0, 14, 0xFF, 0, 0, 0, 0x10, 0x32, 0, 0, 0, 0, 0, 0, 0, 0,
                0x71, 0x03, 0x82, 0x1C, 0, 0, 0, 0, 0, 0};
    s.SubTrkCfg = {5, 0, 0, 11, 0, 255, 0, 255};
    s.ProtocolType = 2;
    s.TimeZone = -14;
    s.SummerTimeMode = 1;
    s.FlowmeterTimeout = 30;
    s.FlowmeterParams = std::array<uint8_t, kFlowmeterParamsSize>{25, 20, 10, 5, 0xFF, 0xFF, 0, 1, 0, 0, 5,
                                                                  0x40, 0xE2, 0x01, 0, 1, 0, 3};
    s.FlowmeterParamsFull = false;
    s.TabloCutOff = 65535;
    s.NightBright = 100;
    s.TabloTestStep = 255;
    s.Channels = {{123456, 0, "A-95", 0x00FF8000, 0x00000000, 255, 0},
                  {1, 65535, "", 0x00123456, 0x00FFFFFF, 0, std::nullopt}};
    s.Flowmeters = {{3, 9, -126}, {4, 254, std::nullopt}};
    s.Displays[0] = {std::array<uint8_t, 6>{128, 127, 0, 0xFF, 0x7F, 0x80}, -127};
    s.Displays[5].TempOffset = 127;
    s.SoundGen = SoundGenSettings{5, std::nullopt};     // off: no volume to keep
    s.ValveController = ValveControllerSettings{7, 23, 40};
    return s;
}

// The file keeps every setting as the rows show it, and reads back to the same rows.
TEST(SettingsFile, EveryKindOfSettingRoundTrips) {
    const SettingsSnapshot s = AwkwardSnapshot();
    const SettingsFileRead back = SettingsFromJson(SettingsToJson(s));
    ASSERT_EQ(back.Error, "");
    EXPECT_EQ(TextsByKey(back.Snapshot), TextsByKey(s));
    EXPECT_TRUE(DiffSettings(s, back.Snapshot).empty());
    // Byte for byte: no selections, the bits no window shows and the hose sets all come back.
    EXPECT_EQ(HexOf(back.Snapshot.TrkCfg), HexOf(s.TrkCfg));
    EXPECT_EQ(back.Snapshot.SubTrkCfg[3], 11);  // a divisor none of the window's rates gives
    EXPECT_EQ(back.Snapshot.Displays[0].ColourCorrection, s.Displays[0].ColourCorrection);
    EXPECT_EQ(back.Snapshot.Channels[0].Price, 123456u);
    EXPECT_FALSE(back.Snapshot.Channels[1].ReductionConst);
    EXPECT_FALSE(back.Snapshot.Flowmeters[1].TempOffset);
    EXPECT_EQ(back.Snapshot.Identity.DeviceType, 33);
    EXPECT_EQ(back.Snapshot.ReadAt, s.ReadAt);
}

// The file keys a value by group and caption: two settings under one name would be one in it.
TEST(SettingsFile, EveryNameAndKeyOnce) {
    for (int channels : {0, 5, 15}) {
        std::set<std::pair<std::string, std::string>> names;
        std::set<std::string> keys;
        for (const SettingEntry& e : SettingTable(channels)) {
            EXPECT_TRUE(names.insert({e.Group, e.Caption}).second) << e.Group << " / " << e.Caption;
            EXPECT_TRUE(keys.insert(e.Key).second) << e.Key;
        }
    }
}

// One setting at a time, as a person edits the file: what is taken reads back in the rows'
// form, what is refused names the setting and changes nothing.
TEST(SettingsFile, EditedValuesTakenInTheRowsFormOrRefused) {
    struct Row {
        const char* Key;
        const char* Typed;
        const char* Reads;  // nullptr: refused
    } rows[] = {
        // Whole units: the snapshot's configuration says prices go without kopecks.
        {"channel.1.price", "54,9", nullptr},        {"channel.1.price", "54", "54"},
        {"channel.1.price", "-1", nullptr},          {"channel.2.price", "4294967295", "4294967295"},
        {"channel.2.price", "4294967296", nullptr},  {"cfg.channelCount", "6", nullptr},
        {"cfg.channelCount", "3", "3"},              {"cfg.hoseSet.2", "2+1", nullptr},
        {"cfg.hoseSet.2", "", ""},                   {"cfg.pumpOut.1", "16", nullptr},
        {"cfg.pumpOut.1", "", ""},                   {"cfg.hoseValve.3", "5", "5"},
        {"cfg.kazakhPrice", "1", "да"},              {"cfg.kazakhPrice", "yes", nullptr},
        {"cfg.byte2bit5", "2", nullptr},             {"cfg.boardByteBits.4", "7", "7"},
        {"time.zone", "+3:30", "+3:30"},             {"time.zone", "+3:20", nullptr},
        {"time.zone", "-12:00", "-12:00"},           {"time.summer", "Летнее время всегда", "Летнее время всегда"},
        {"protocol", "ПК", "ПК"},                    {"protocol", "RS-485", nullptr},
        {"tablo.testStep", "250", "250"},            {"tablo.testStep", "255", nullptr},
        {"tablo.nightBright", "5", "5"},         {"tablo.nightBright", "10", "10"},
        {"flow.mainValveTimeout", "2.5", "2.5"},     {"flow.mainValveTimeout", "25.6", nullptr},
        {"flow.maxManualDose", "120", "120"},        {"flow.maxManualDose", "0.001", "0.001"},
        {"channel.1.fuelName", "ПЖ-95", "П -95"},    {"channel.1.fuelName", "123456789012345", nullptr},
        {"channel.1.liftedColour", "#ff0000", "#FF0000"}, {"channel.1.liftedColour", "#GG0000", nullptr},
        {"channel.1.vrxAddress", "256", nullptr},    {"sub.bitRate", "76800", "76800"},
        {"sub.bitRate", "9601", nullptr},             {"valves.bitRate", "12345", nullptr},
        {"soundGen.volume", "30", "30"},            {"flowmeter.1.type", "LPGmass", "LPGmass"},
        {"flowmeter.1.type", "5", nullptr},          {"flowmeter.1.tempOffset", "-129", nullptr},
        {"display.1.colour.1", "50%", "50%"},        {"display.1.colour.1", "128", "128"},
        {"display.1.colour.1", "101%", nullptr},     {"display.1.colour.4", "-128", "-128"},
        {"display.1.colour.4", "128", nullptr},      {"display.1.tempOffset", "-128", nullptr},
        {"channel.3.price", "1", nullptr},           {"no.such.key", "1", nullptr},
    };
    for (const Row& r : rows) {
        SettingsSnapshot s = AwkwardSnapshot();
        const auto before = TextsByKey(s);
        const std::string error = SetSettingText(s, r.Key, r.Typed);
        if (!r.Reads) {
            EXPECT_NE(error, "") << r.Key << " = " << r.Typed;
            EXPECT_EQ(TextsByKey(s), before) << r.Key;
            continue;
        }
        EXPECT_EQ(error, "") << r.Key << " = " << r.Typed;
        EXPECT_EQ(TextsByKey(s)[r.Key], r.Reads) << r.Key << " = " << r.Typed;
    }
}

// A file keeps a value as read, but a restore writes nothing the windows' editors would refuse,
// with their message; the flowmeter group goes as one, so all twelve are held to it.
TEST(SettingsFile, ValuesTheEditorsRefuseAreNotWritten) {
    struct Row {
        const char* Key;
        const char* Value;
        std::vector<std::string> Keys;  // written; empty: just Key
        const char* Refusal;            // "" when taken
    } rows[] = {
        {"tablo.nightBright", "5", {}, "«Ночная яркость :» (Яркость табло): Ночная яркость должна быть от 10 до 100 %"},
        {"tablo.nightBright", "10", {}, ""},
        {"tablo.testStep", "0", {}, "Время шага теста табло должно быть от 10 до 2550 мс"},
        {"channel.1.vrxAddress", "0", {}, "Адрес должен быть от 1 до 225"},
        {"channel.1.vrxAddress", "226", {}, "Адрес должен быть от 1 до 225"},
        {"channel.1.price", "2147483648", {}, "Неправильная цена"},
        {"flowmeter.2.lpgAddress", "255", {}, "Адрес расходомера должен быть от 1 до 254"},
        {"flowmeter.1.tempOffset", "-127", {}, "Смещение должно быть от -126 до +126"},
        // A threshold of 0 as read goes along with the leak: refused, as the window refuses it.
        {"flow.mainValveThreshold", "0", {"flow.maxLeak"}, "«Порог вкл. осн. клапана, (имп)» (Настройки ТРК (можно редактировать)): "
                                                           "Порог включения основного клапана должен быть от 1 до 255 импульсов"},
        {"flow.maxManualDose", "1000.001", {}, "Макс.доза ручного налива должна быть от 0 до 1000 л"},
        {"flow.maxManualDose", "1000", {}, ""},
        {"soundGen.volume", "31", {}, "Громкость должна быть от 0 до 30"},
        {"valves.opening", "101", {}, "Степень открытия должна быть от 0 до 100"},
        // A rate as read that no editor offers goes along with the opening: refused.
        {"valves.bitRate", "76800", {"valves.opening"}, "Скорость обмена должна быть от 9600 до 115200"},
        // As read and not written: not held to the rules.
        {"tablo.nightBright", "5", {"tablo.cutOff"}, ""},
    };
    for (const Row& r : rows) {
        SettingsSnapshot controller = AwkwardSnapshot();
        // With other keys written, Key = Value is what the controller holds and the file keeps.
        if (!r.Keys.empty()) {
            ASSERT_EQ(SetSettingText(controller, r.Key, r.Value), "") << r.Key;
        }
        SettingsSnapshot file = controller;
        ASSERT_EQ(SetSettingText(file, r.Key, r.Value), "") << r.Key;
        for (const std::string& key : r.Keys) ASSERT_EQ(SetSettingText(file, key, "7"), "") << key;
        const std::vector<std::string> keys = r.Keys.empty() ? std::vector<std::string>{r.Key} : r.Keys;
        const std::string refusal = RestoreRefusal(controller, file, keys, false);
        if (*r.Refusal == 0) {
            EXPECT_EQ(refusal, "") << r.Key << " = " << r.Value;
        } else {
            EXPECT_NE(refusal.find(r.Refusal), std::string::npos) << r.Key << " = " << r.Value << ": " << refusal;
        }
    }
}

// A file that is not one, or holds a value that is none, is refused with the line to look at.
TEST(SettingsFile, AMalformedFileNamesItsLine) {
    const std::string good = SettingsToJson(AwkwardSnapshot());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    auto lineOf = [&](const std::string& what) {
        const size_t at = good.find(what);
        return "строка " + std::to_string(1 + std::count(good.begin(), good.begin() + std::ptrdiff_t(at), '\n')) + ": ";
    };
    struct Row {
        std::string Text;
        std::string Starts;
        std::string Says;
    } rows[] = {
        {replaced("\"Цена, (руб/литр)\": \"123456\",", "\"Цена, (руб/литр)\": \"123456\""),
         lineOf("\"Время разгона насоса"), "это не JSON"},
        {replaced("\"Цена, (руб/литр)\": \"123456\"", "\"Цена, (руб/литр)\": \"дёшево\""),
         lineOf("\"Цена, (руб/литр)\""), "«Цена, (руб/литр)»: нужна цена в целых единицах"},
        {replaced("\"Адрес VRX2.0\": \"255\"", "\"Адрес VRX2.0\": [1]"), lineOf("\"Адрес VRX2.0\""),
         "значение должно быть строкой"},
        {replaced("\"Ночная яркость :\"", "\"Дневная яркость :\""), lineOf("\"Ночная яркость :\""),
         "неизвестная настройка «Дневная яркость :» в «Яркость табло»"},
        {replaced("\"format\": 1", "\"format\": 2"), "строка 2: ", "формат 2 не поддерживается"},
        {replaced("\"Кол-во каналов\": 2", "\"Кол-во каналов\": 16"), lineOf("\"Кол-во каналов\": 2"),
         "«Кол-во каналов»: нужно число от 0 до 15"},
        {"", "строка 1: ", "это не JSON"},
        {"[1, 2]", "строка 1: ", "ожидался объект"},
        {"{\"Настройки\": {}}", "", "нет \"format\""},
    };
    for (const Row& r : rows) {
        const SettingsFileRead f = SettingsFromJson(r.Text);
        EXPECT_TRUE(f.Error.starts_with(r.Starts)) << r.Says << ": " << f.Error;
        EXPECT_NE(f.Error.find(r.Says), std::string::npos) << f.Error;
    }
}

// --- ornix-cli settings against the virtual controller.

SimConfig SimWith(const std::vector<std::string>& options) {
    SimConfig config;
    std::string error;
    EXPECT_TRUE(ParseSimArguments(options, config, error)) << error;
    config.Controller.Pouring.Customers = false;
    return config;
}

class SettingsE2e : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ornix-settings-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        SetExchangeLogPath((dir_ / "tester.log").string());
        ComPort.SetLine(nullptr);
        file_ = (dir_ / "a.json").string();
    }
    void TearDown() override {
        SetExchangeLogPath("");
        fs::remove_all(dir_);
    }
    using Run = CapturedRun;
    Run Cli(SimHarness& sim, const std::function<int(const CliContext&)>& command, bool json = false) {
        CliContext c;
        c.Link = {sim.PortName(), 9600, 1};
        c.Json = json;
        return RunCaptured([&] { return command(c); });
    }
    // Saves the default controller's settings into file_.
    void SaveDefault() {
        SimHarness a(SimWith({}));
        ASSERT_TRUE(a.Started()) << a.Error();
        const Run save = Cli(a, [&](auto& c) { return CliSettingsSave(c, file_); });
        ASSERT_EQ(save.Exit, 0) << save.Err;
    }
    std::string WritesLogged() {
        std::ifstream in(dir_ / "tester.log", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        // Every writer's description starts so; readers say "Чтение".
        std::string writes;
        std::istringstream lines(text.str());
        for (std::string line; std::getline(lines, line);)
            if (line.find("Запись") != std::string::npos || line.find("Установка") != std::string::npos) writes += line + "\n";
        return writes;
    }
    void ClearLog() { fs::remove(dir_ / "tester.log"); }

    fs::path dir_;
    std::string file_;
};

// Clone A onto B: B differs in every kind of setting, restore writes them, B then matches.
TEST_F(SettingsE2e, SaveDiffRestoreDiffBetweenTwoControllers) {
    SaveDefault();
    SimHarness b(SimWith({"--other-settings", "--crypto", "3"}));
    ASSERT_TRUE(b.Started()) << b.Error();

    const Run diff = Cli(b, [&](auto& c) { return CliSettingsDiff(c, file_); }, true);
    EXPECT_EQ(diff.Exit, 1) << diff.Err;
    std::map<std::string, nlohmann::json> differs;
    const auto listed = nlohmann::json::parse(diff.Out);
    for (const auto& d : listed["differences"]) differs[d["key"].get<std::string>()] = d;
    const std::pair<const char*, const char*> expected[] = {
        {"channel.2.price", "62.20"},          {"channel.1.fuelName", "AI-80"},
        {"cfg.byte2bit5", "1"},                {"cfg.boardByteBits.1", "5"},
        {"flowmeter.3.type", "Крипто"},        {"channel.3.pumpRampUp", "600"},
        {"channel.1.reduction", "175"},        {"cfg.pumpOut.1", "6"},
        {"soundGen.volume", "12"},             {"valves.bitRate", "38400"},
        {"display.1.colour.1", "128"},         {"protocol", "ПК"},
        {"flow.mainValveTimeout", "4"},        {"time.summer", "Летнее время всегда"},
    };
    for (const auto& [key, controller] : expected) {
        ASSERT_TRUE(differs.count(key)) << key << diff.Out;
        EXPECT_EQ(differs[key]["controller"], controller) << key;
    }
    EXPECT_EQ(differs["channel.2.price"]["file"], "54.90");
    EXPECT_EQ(differs["channel.2.price"]["group"], "Канал 2");
    EXPECT_EQ(differs["channel.2.price"]["caption"], "Цена, (руб/литр)");

    const Run restore = Cli(b, [&](auto& c) { return CliSettingsRestore(c, file_, false); });
    EXPECT_EQ(restore.Exit, 0) << restore.Out << restore.Err;
    EXPECT_NE(restore.Out.find("Название топлива (Канал 1) = «A-92»: записано и проверено"), std::string::npos) << restore.Out;

    const Run again = Cli(b, [&](auto& c) { return CliSettingsDiff(c, file_); });
    EXPECT_EQ(again.Exit, 0) << again.Out;
    EXPECT_EQ(again.Out, "Контроллер совпадает с файлом\n");
    // What B holds now, read from the simulator itself.
    const ControllerState state = b.MainState();
    EXPECT_EQ(state.Status.TrkCfg[2] & 0x20, 0);
    EXPECT_EQ(state.Status.TrkCfg[23] & 0x70, 0);
    EXPECT_EQ(state.Pouring.Channels[1].PricePerLitre, 5490u);
    EXPECT_EQ(state.Status.Flowmeters[2].Type, 1);
    EXPECT_EQ(state.Clock.SummerMode, 0);
}

// One write the controller refuses: that setting says why, the rest are written and verified,
// and the command fails.
TEST_F(SettingsE2e, ARefusedWriteIsReportedTheRestWritten) {
    SaveDefault();
    SimHarness b(SimWith({"--other-settings", "--result", "224:189"}));  // pump ramp-up refused
    ASSERT_TRUE(b.Started()) << b.Error();
    const Run restore = Cli(b, [&](auto& c) { return CliSettingsRestore(c, file_, false); }, true);
    EXPECT_EQ(restore.Exit, 1) << restore.Out;
    const auto j = nlohmann::json::parse(restore.Out);
    int refused = 0, verified = 0;
    for (const auto& r : j["results"]) {
        if (r["key"].get<std::string>().ends_with(".pumpRampUp")) {
            ++refused;
            EXPECT_FALSE(r["written"]);
            EXPECT_FALSE(r["verified"]);
            EXPECT_EQ(r["error"], "Ошибка 189: Неправильный номер пистолета") << r.dump();
        } else {
            verified += r["verified"] == true;
        }
    }
    EXPECT_EQ(refused, 5);
    EXPECT_EQ(verified, int(j["results"].size()) - 5);
    EXPECT_EQ(b.MainState().Pouring.Channels[0].PricePerLitre, 5490u);
}

// Refused before anything is written: another kind of controller, a layout the configuration
// window would not write, a file that is no settings file. --force lets the other kind through.
TEST_F(SettingsE2e, RefusalsWriteNothing) {
    SaveDefault();
    std::string text;
    {
        std::ifstream in(file_);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    auto fileWith = [&](const std::string& name, const std::string& from, const std::string& to) {
        std::string changed = text;
        const size_t at = changed.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) changed.replace(at, from.size(), to);
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << changed;
        return path;
    };
    const std::string shared = fileWith("shared.json", "\"Канал 2: Шланги\": \"2\"", "\"Канал 2: Шланги\": \"1+2\"");
    const std::string broken = fileWith("broken.json", "\"Адрес VRX2.0\": \"3\"", "\"Адрес VRX2.0\": \"300\"");
    struct Row {
        const char* Name;
        std::vector<std::string> Options;
        std::string File;
        bool Force;
        int Exit;
        const char* Says;
    } rows[] = {
        {"another device type", {"--other-settings", "--device-type", "34"}, file_, false, 64, "Файл снят с другого устройства"},
        {"another channel count", {"--other-settings", "--channels", "4"}, file_, false, 64, "В файле 5 каналов, а у контроллера 4"},
        {"a shared hose", {"--other-settings"}, shared, true, 64, "Наборы шлангов в конфликте, каналы 1, 2"},
        {"a malformed value", {"--other-settings"}, broken, false, 64, "«Адрес VRX2.0»: нужно число от 0 до 255"},
        {"no such file", {"--other-settings"}, (dir_ / "none.json").string(), false, 64, "Не могу прочитать"},
    };
    for (const Row& r : rows) {
        SimHarness b(SimWith(r.Options));
        ASSERT_TRUE(b.Started()) << b.Error();
        ClearLog();
        const Run run = Cli(b, [&](auto& c) { return CliSettingsRestore(c, r.File, r.Force); });
        EXPECT_EQ(run.Exit, r.Exit) << r.Name << ": " << run.Err;
        EXPECT_NE(run.Err.find(r.Says), std::string::npos) << r.Name << ": " << run.Err;
        EXPECT_EQ(WritesLogged(), "") << r.Name;
    }
    // The line of the malformed value is named.
    SimHarness b(SimWith({"--other-settings", "--device-type", "34"}));
    const Run run = Cli(b, [&](auto& c) { return CliSettingsRestore(c, broken, false); });
    EXPECT_NE(run.Err.find(": строка "), std::string::npos) << run.Err;
    // Forced, the other kind of controller takes the file.
    const Run forced = Cli(b, [&](auto& c) { return CliSettingsRestore(c, file_, true); });
    EXPECT_EQ(forced.Exit, 0) << forced.Out << forced.Err;
}

// A restore some time after its comparison (the window's) reads the controller again first: an
// edit made meanwhile to a setting that travels in the same write stays, and the refusals are
// judged on what the controller holds now.
TEST_F(SettingsE2e, ARestoreAfterALaterEditKeepsTheEditAndIsJudgedOnTheControllerAsItIsNow) {
    SaveDefault();
    SimHarness b(SimWith({"--other-settings"}));
    ASSERT_TRUE(b.Started()) << b.Error();
    CliContext c;
    c.Link = {b.PortName(), 9600, 1};
    CliOutcome o;
    const auto compared = CliReadSettings(c, o);
    ASSERT_TRUE(compared->Complete) << compared->Error;
    const SettingsSnapshot file = SettingsFromJson([&] {
                                      std::ifstream in(file_);
                                      std::ostringstream all;
                                      all << in.rdbuf();
                                      return all.str();
                                  }()).Snapshot;
    auto restore = [&](const std::vector<std::string>& keys) {
        auto job = std::make_shared<SettingsJob>();
        job->Controller = compared->Read;
        job->File = file;
        job->Keys = keys;
        job->ReadBeforeWriting = true;
        TCliViews v;
        RunCliOperation(v, c.Link, RestoreSettings, StageSettingsJob(job));
        return job;
    };
    auto textOf = [](const SettingsSnapshot& s, const std::string& key) {
        for (const SettingRow& r : Rows(s))
            if (r.Key == key) return r.Text;
        return std::string("?");
    };
    // Edited in the configuration window after the comparison; another bit of the page restored.
    ASSERT_EQ(CliConfigSet(c, {"vrxOverflow=1"}), 0);
    const auto kept = restore({"cfg.byte2bit5"});
    EXPECT_TRUE(kept->Complete) << kept->Error;
    EXPECT_EQ(textOf(kept->Read, "cfg.byte2bit5"), "0");
    EXPECT_EQ(textOf(kept->Read, "cfg.vrxOverflow"), "да");
    // Four channels since the comparison: the file of five no longer fits, and nothing is written.
    ASSERT_EQ(CliConfigSet(c, {"channels=4"}), 0);
    ClearLog();
    const auto refused = restore({"cfg.byte2bit5"});
    EXPECT_FALSE(refused->Complete);
    EXPECT_EQ(refused->Error.rfind("Не записано: ", 0), 0u) << refused->Error;
    EXPECT_TRUE(refused->Results.empty());
    EXPECT_EQ(WritesLogged(), "");
}

// A stop asked for during a read ends it between two readings (a read handed to a running poll
// has no worker stop of its own); during a restore, between two writes, and what was written stays.
TEST_F(SettingsE2e, AStopEndsAReadOrARestoreBetweenExchanges) {
    SaveDefault();
    SimHarness b(SimWith({"--other-settings"}));
    ASSERT_TRUE(b.Started()) << b.Error();
    CliContext c;
    c.Link = {b.PortName(), 9600, 1};
    {
        auto stoppedRead = std::make_shared<SettingsJob>();
        int progress = 0;
        stoppedRead->Progress = [&](int done, int) {
            progress = done;
            if (done == 3) stoppedRead->StopRequested = true;
        };
        TCliViews v;
        RunCliOperation(v, c.Link, ReadSettings, StageSettingsJob(stoppedRead));
        EXPECT_FALSE(stoppedRead->Complete);
        EXPECT_EQ(stoppedRead->Error, "Остановлено");
        EXPECT_EQ(progress, 3);
    }
    CliOutcome o;
    auto read = CliReadSettings(c, o);
    ASSERT_TRUE(read->Complete) << read->Error;
    auto job = std::make_shared<SettingsJob>();
    job->Controller = read->Read;
    job->File = SettingsFromJson([&] {
                    std::ifstream in(file_);
                    std::ostringstream all;
                    all << in.rdbuf();
                    return all.str();
                }()).Snapshot;
    job->Keys = DifferenceKeys(DiffSettings(job->Controller, job->File));
    job->Progress = [&](int done, int) {
        if (done == 2) job->StopRequested = true;
    };
    TCliViews v;
    RunCliOperation(v, c.Link, RestoreSettings, StageSettingsJob(job));
    EXPECT_FALSE(job->Complete);
    EXPECT_EQ(job->Error, "Остановлено");
    int written = 0, stopped = 0;
    for (const RestoreRow& r : job->Results) {
        written += r.Written;
        stopped += r.Error == "остановлено до записи";
        if (r.Written) {
            EXPECT_TRUE(r.Verified) << r.Key;
        }
    }
    // The configuration page (four settings) and the protocol were written before the stop.
    EXPECT_EQ(written, 5);
    EXPECT_EQ(stopped, int(job->Results.size()) - 5);
    EXPECT_EQ(b.MainState().Status.TrkCfg[2] & 0x20, 0);
}

}  // namespace
