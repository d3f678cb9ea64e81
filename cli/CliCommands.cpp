#include "cli/CliCommands.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "cli/CliConfigKeys.h"
#include "cli/CliValues.h"
#include "commands/ConfigChecks.h"
#include "commands/ConfigRecords.h"
#include "commands/ChannelState.h"
#include "commands/DoseCommands.h"
#include "commands/LinkSetup.h"
#include "commands/MemoryCommands.h"
#include "commands/NetAddressSearch.h"
#include "commands/PollCycle.h"
#include "commands/ServiceCommands.h"
#include "commands/TimeCommands.h"
#include "engine/TextHelpers.h"
#include "link/CommandCodes.h"

using nlohmann::json;

namespace {

constexpr uint32_t kSecondsFrom1970To2000 = 946684800;

// What one command has to say: lines for a person, the same as JSON for a script.
struct Report {
    std::vector<std::string> Lines;
    json Data = json::object();
};

int Finish(const CliContext& c, const std::string& command, const CliOutcome& o, Report r) {
    if (c.Json) {
        json out = {{"command", command}, {"exit", o.Exit}, {"ok", o.Exit == kExitDone}};
        if (o.Exit != kExitDone) out["error"] = {{"code", o.Code}, {"text", o.Reason}};
        for (auto& [key, value] : r.Data.items()) out[key] = value;
        std::cout << out.dump(2) << "\n";
    } else {
        for (const std::string& line : r.Lines) std::cout << line << "\n";
        if (o.Exit != kExitDone) std::cerr << "ornix-cli: " << command << ": " << o.Reason << "\n";
    }
    return o.Exit;
}

// The last texts of panels 3 and 4, as the status bar shows them at the end.
void AddStatus(Report& r, const TCliViews& v) {
    const std::string panel3 = v.StatusTexts.empty() ? "" : v.StatusTexts.back();
    const std::string panel4 = v.ErrorTexts.empty() ? "" : v.ErrorTexts.back();
    if (!panel3.empty()) r.Lines.push_back(panel3);
    if (!panel4.empty() && panel4 != panel3) r.Lines.push_back(panel4);
    r.Data["status"] = panel3;
    r.Data["message"] = panel4;
}

json CellsJson(const std::map<TCliViews::Cell, std::string>& cells) {
    json rows = json::array();
    for (const auto& [cell, text] : cells) rows.push_back({{"row", cell.first}, {"column", cell.second}, {"text", text}});
    return rows;
}

void AddCells(Report& r, const char* key, const char* view, const std::map<TCliViews::Cell, std::string>& cells) {
    r.Data[key] = CellsJson(cells);
    for (const auto& [cell, text] : cells)
        r.Lines.push_back(std::string(view) + " " + std::to_string(cell.first) + " " + std::to_string(cell.second) +
                          ": " + text);
}

json IdentityJson(const TCliViews& v) {
    auto cell = [&](int row) {
        auto it = v.TrkCells.find({row, 0});
        return it == v.TrkCells.end() ? std::string() : it->second;
    };
    // The faults the window blinks in its title: hardware error code and clock check.
    return {{"device", cell(0)}, {"firmware", cell(1)}, {"hardwareError", v.Window.HdwErrCode},
            {"clockError", v.Window.TimeErrCode}};
}

// The bounded poll: the identity once (a silent controller ends it), then the passes.
std::atomic<uint32_t> gPollPasses{1};

void PollPasses(TComThread& w) {
    ReadDeviceInfo(w);
    if (!w.DeviceInfoRead) return;
    const uint32_t passes = gPollPasses.load();
    for (uint32_t n = 0; n < passes; ++n) {
        SyncDeviceState(w);
        if (w.ShouldStop()) return;
        PollPass(w, n);
        if (w.ShouldStop()) return;
    }
}

// A writer: nothing to show but the controller's verdict and what was sent.
int RunWriter(const CliContext& c, const std::string& command, Op op, std::function<void(TComThread&)> stage,
              json sent, CliForgiven forgiven = {}) {
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, op, std::move(stage), forgiven);
    Report r;
    r.Data = std::move(sent);
    AddStatus(r, v);
    return Finish(c, command, o, std::move(r));
}

// A price means kopecks, or whole units under the configuration's price-without-kopecks flag:
// the page is read before the price, as the window has read it before its price cells.
void ReadConfigAndPrice(TComThread& w) {
    ReadTrkCfg(w);
    ReadPrice(w);
}

bool ChannelOk(int channel) { return channel >= 1 && channel <= kChannelCount; }
std::string ChannelRange() { return "канал от 1 до " + std::to_string(kChannelCount); }

}  // namespace

int CliRefuse(const CliContext& c, const std::string& command, const std::string& message) {
    if (c.Json)
        std::cout << json{{"command", command}, {"exit", kExitUsage}, {"ok", false},
                          {"error", {{"code", 0}, {"text", message}}}}.dump(2)
                  << "\n";
    else
        std::cerr << "ornix-cli: " << command << ": " << message << "\n";
    return kExitUsage;
}

int CliIdentify(const CliContext& c) {
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadDeviceInfo);
    Report r;
    if (o.Exit == kExitDone) {
        r.Data = IdentityJson(v);
        r.Lines.push_back(r.Data["device"].get<std::string>());
        r.Lines.push_back(r.Data["firmware"].get<std::string>());
        if (v.Window.HdwErrCode != 0) r.Lines.push_back("HdwErr " + std::to_string(v.Window.HdwErrCode));
    }
    AddStatus(r, v);
    return Finish(c, "identify", o, std::move(r));
}

int CliPoll(const CliContext& c, uint32_t passes) {
    gPollPasses = passes;
    TCliViews v;
    const auto start = std::chrono::steady_clock::now();
    CliOutcome o = RunCliOperation(v, c.Link, PollPasses);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    Report r;
    r.Data["identity"] = IdentityJson(v);
    r.Data["passes"] = passes;
    r.Data["exchanges"] = o.Exchanges;
    r.Data["milliseconds"] = ms.count();
    r.Data["channelCount"] = v.ChannelCount;
    r.Data["clockUtc"] = v.CurTimeUTC;
    r.Data["clockLocal"] = v.CurTimeLocal;
    AddCells(r, "controller", "TRK_StatusListView", v.TrkCells);
    AddCells(r, "channels", "ChStatusListView", v.ChCells);
    AddCells(r, "valves", "ValveListView", v.ValveCells);
    AddCells(r, "flowmeters", "FlowmeterListView", v.FlowCells);
    AddCells(r, "displays", "TabloListView", v.TabloCells);
    AddStatus(r, v);
    return Finish(c, "poll", o, std::move(r));
}

int CliTimeGet(const CliContext& c) {
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadTime);
    Report r;
    if (o.Exit == kExitDone) {
        r.Lines = {v.CurTimeUTC, v.CurTimeLocal};
        r.Data["utc"] = v.CurTimeUTC;
        r.Data["local"] = v.CurTimeLocal;
        r.Data["zoneQuarters"] = o.Worker->TimeZone;
        r.Data["summerTimeMode"] = o.Worker->SummerTimeMode;
    }
    AddStatus(r, v);
    return Finish(c, "time get", o, std::move(r));
}

int CliTimeSet(const CliContext& c, const std::string& when) {
    uint32_t utc = 0;
    if (when == "now") {
        const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        utc = uint32_t(now - kSecondsFrom1970To2000);
    } else if (auto parsed = ParseTimeStampText(when)) {
        utc = *parsed;
    } else {
        return CliRefuse(c, "time set", "Неверный формат времени: " + when);
    }
    return RunWriter(c, "time set", WriteTime, [utc](TComThread& w) { w.UtcTime = utc; }, {{"utc", DateTimeText(utc)}});
}

int CliAddressSet(const CliContext& c, int address) {
    if (address < 1 || address > 254) return CliRefuse(c, "address set", "Сетевой адрес должен быть от 1 до 254");
    const auto a = uint8_t(address);
    return RunWriter(c, "address set", WriteBusAddress, [a](TComThread& w) { w.NewAddress = a; }, {{"address", address}});
}

int CliRateSet(const CliContext& c, int rate) {
    // Only the rates the tool itself talks at: the controller refuses others, or takes a rate
    // nobody could reach it at afterwards.
    const std::vector<int> known = SearchRates(0);
    if (BitRateDivisor(rate) == 0 || std::find(known.begin(), known.end(), rate) == known.end())
        return CliRefuse(c, "rate set", "Недопустимая скорость обмена");
    return RunWriter(c, "rate set", WriteBitRate, [rate](TComThread& w) { w.NewBitRate = rate; }, {{"rate", rate}});
}

int CliPriceGet(const CliContext& c, int channel) {
    if (!ChannelOk(channel)) return CliRefuse(c, "price get", ChannelRange());
    TCliViews v;
    const int index = channel - 1;
    CliOutcome o = RunCliOperation(v, c.Link, ReadConfigAndPrice, [index](TComThread& w) { w.CurrentChannel = index; });
    Report r;
    if (o.Exit == kExitDone) {
        const uint32_t price = o.Worker->Price[size_t(index)];
        const std::string text = PriceText(price, v.KazakhPriceChecked());
        r.Lines.push_back(text);
        r.Data["channel"] = channel;
        r.Data["price"] = price;
        r.Data["priceText"] = text;
        r.Data["wholeUnits"] = v.KazakhPriceChecked();
    }
    AddStatus(r, v);
    return Finish(c, "price get", o, std::move(r));
}

namespace {

// Reads the configuration page into `v` for a write that depends on it. When the read fails the
// command ends there, with the read's status: its exit code is returned.
std::optional<int> ReadConfigFirst(const CliContext& c, const std::string& command, TCliViews& v) {
    CliOutcome o = RunCliOperation(v, c.Link, ReadTrkCfg);
    if (o.Exit == kExitDone && v.TrkCfg) return std::nullopt;
    Report r;
    AddStatus(r, v);
    return Finish(c, command, o, std::move(r));
}

}  // namespace

int CliPriceSet(const CliContext& c, int channel, const std::string& value) {
    if (!ChannelOk(channel)) return CliRefuse(c, "price set", ChannelRange());
    if (!ParseDecimalValue(value, 2, INT32_MAX)) return CliRefuse(c, "price set", "Неправильная цена");
    TCliViews config;
    if (const auto failed = ReadConfigFirst(c, "price set", config)) return *failed;
    // In whole units a price with kopecks is no price the controller can take.
    const auto price = ParseDecimalValue(value, config.KazakhPriceChecked() ? 0 : 2, INT32_MAX);
    if (!price) return CliRefuse(c, "price set", "Неправильная цена");
    const int index = channel - 1;
    const auto p = uint32_t(*price);
    return RunWriter(c, "price set", WritePrice, [index, p](TComThread& w) {
        w.SelectedChannel = index;
        w.PriceToWrite[size_t(index)] = p;
    }, {{"channel", channel}, {"price", p}});
}

int CliDose(const CliContext& c, int channel, const std::string& litres, const std::string& money) {
    if (!ChannelOk(channel)) return CliRefuse(c, "dose", ChannelRange());
    if (litres.empty() == money.empty()) return CliRefuse(c, "dose", "нужно одно из --litres и --money");
    const bool byVolume = !litres.empty();
    const auto amount = byVolume ? ParseDecimalValue(litres, 3, UINT32_MAX) : ParseDecimalValue(money, 2, UINT32_MAX);
    if (!amount || *amount == 0) return CliRefuse(c, "dose", byVolume ? "Неправильный объём" : "Неправильная сумма");
    const int index = channel - 1;
    const uint8_t kind = byVolume ? kDoseByVolume : kDoseByMoney;
    const auto a = uint32_t(*amount);
    return RunWriter(c, "dose", LoadAndStartDose, [index, kind, a](TComThread& w) {
        w.SelectedChannel = index;
        w.DoseKind = kind;
        w.DoseAmount = a;
    }, {{"channel", channel}, {byVolume ? "millilitres" : "kopecks", a}}, {.RefusalOf = Cmd::ConfirmFillEnd});
}

int CliDoseStep(const CliContext& c, const std::string& step, int channel) {
    const std::map<std::string, Op> steps = {{"stop", StopDose}, {"continue", ContinueDose}, {"confirm", ConfirmFillEnd}};
    const std::string command = "dose " + step;
    if (!ChannelOk(channel)) return CliRefuse(c, command, ChannelRange());
    const int index = channel - 1;
    return RunWriter(c, command, steps.at(step), [index](TComThread& w) { w.SelectedChannel = index; },
                     {{"channel", channel}});
}

int CliConfigGet(const CliContext& c) {
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadTrkCfg);
    Report r;
    if (o.Exit == kExitDone && v.TrkCfg) {
        for (const auto& [key, value] : ConfigKeyValues(*v.TrkCfg)) {
            r.Lines.push_back(key + "=" + value);
            r.Data["config"][key] = value;
        }
    }
    AddStatus(r, v);
    return Finish(c, "config get", o, std::move(r));
}

int CliConfigSet(const CliContext& c, const std::vector<std::string>& settings) {
    // Every setting is checked on a blank record first: a refusal must come before any exchange.
    TrkCfgControls trial;
    for (const std::string& s : settings)
        if (const std::string error = ApplyConfigSetting(trial, s); !error.empty()) return CliRefuse(c, "config set", error);
    TCliViews read;
    if (const auto failed = ReadConfigFirst(c, "config set", read)) return *failed;
    TrkCfgControls controls = *read.TrkCfg;
    for (const std::string& s : settings) ApplyConfigSetting(controls, s);
    // What the configuration window would colour red and not let through is not written either.
    if (const std::string conflict = ConfigConflictText(controls); !conflict.empty())
        return CliRefuse(c, "config set", conflict);
    return RunWriter(c, "config set", WriteTrkCfgFromWindow,
                     [controls](TComThread& w) { w.TrkCfgControlsToWrite = controls; }, {{"changed", settings}});
}

int CliSearch(const CliContext& c, int from, int to) {
    if (from < 1 || to > 254 || from > to) return CliRefuse(c, "search", "Диапазон адресов от 1 до 254");
    TCliViews v;
    const auto f = uint8_t(from), t = uint8_t(to);
    CliOutcome o = RunCliOperation(v, c.Link, FindNetAddress, [f, t](TComThread& w) {
        w.SearchFrom = f;
        w.SearchTo = t;
    }, {.Silence = true});
    Report r;
    json found = json::array();
    for (std::string line : v.FoundLines) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        r.Lines.push_back(line);
        found.push_back(line);
    }
    r.Data["found"] = found;
    return Finish(c, "search", o, std::move(r));
}

int CliMemoryDump(const CliContext& c, const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(file, ec);
    // The dump goes to "VRX.log" in the working folder; a folder of its own keeps older dumps out.
    const fs::path work = fs::temp_directory_path(ec) / ("ornix-cli-dump-" + std::to_string(getpid()));
    fs::create_directories(work, ec);
    const fs::path previous = fs::current_path(ec);
    if (ec || chdir(work.c_str()) != 0) return CliRefuse(c, "memory dump", "cannot use " + work.string());
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadMemory);
    (void)!chdir(previous.c_str());  // the paths below are absolute either way
    fs::rename(work / "VRX.log", target, ec);
    if (ec) {
        fs::copy_file(work / "VRX.log", target, fs::copy_options::overwrite_existing, ec);
    }
    fs::remove_all(work);
    Report r;
    r.Data["file"] = target.string();
    AddStatus(r, v);
    if (o.Exit == kExitDone && ec) {
        o.Exit = kExitNoLink;
        o.Reason = "cannot write " + target.string();
    }
    return Finish(c, "memory dump", o, std::move(r));
}

int CliSdList(const CliContext& c) {
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadSdCardDirectory);
    Report r;
    r.Lines = v.SdEntries;
    r.Data["entries"] = v.SdEntries;
    AddStatus(r, v);
    return Finish(c, "sd ls", o, std::move(r));
}

int CliSdGet(const CliContext& c, const std::string& name, const std::string& file) {
    if (name.empty()) return CliRefuse(c, "sd get", "нет имени файла");
    TCliViews v;
    CliOutcome o = RunCliOperation(v, c.Link, ReadSdCardFile, [name](TComThread& w) { w.SdFilePath = name; });
    Report r;
    if (o.Exit == kExitDone) {
        std::ofstream out(file, std::ios::binary);
        out << v.SdFileText;
        if (!out) {
            o.Exit = kExitNoLink;
            o.Reason = "cannot write " + file;
        }
    }
    r.Data["name"] = name;
    r.Data["size"] = v.SdFileSize;
    r.Data["received"] = v.SdReceived;
    AddStatus(r, v);
    return Finish(c, "sd get", o, std::move(r));
}
