#include "cli/CliConfigKeys.h"

#include <array>
#include <functional>

#include "commands/ConfigMapping.h"
#include "commands/NumberText.h"

namespace {

using C = TrkCfgControls;

struct Key {
    std::string Name;
    std::function<std::string(const C&)> Get;
    std::function<bool(C&, std::string_view)> Set;  // false: the value is refused
    std::string Allowed;                             // what a refusal names as allowed
};

std::optional<long long> Number(std::string_view text, long long min, long long max) {
    auto n = ParseWholeNumber(text);
    if (!n || *n < min || *n > max) return std::nullopt;
    return n;
}

Key Flag(std::string name, std::function<bool&(C&)> at) {
    return {std::move(name), [at](const C& c) { return at(const_cast<C&>(c)) ? "1" : "0"; },
            [at](C& c, std::string_view v) {
                auto n = Number(v, 0, 1);
                if (n) at(c) = *n == 1;
                return n.has_value();
            },
            "0 или 1"};
}

// A combo whose items are "1".."items": the item index is the number less one.
Key Item(std::string name, std::function<int&(C&)> at, int items) {
    return {std::move(name),
            [at, items](const C& c) {
                const int index = at(const_cast<C&>(c));
                return index >= 0 && index < items ? std::to_string(index + 1) : std::string();
            },
            [at, items](C& c, std::string_view v) {
                auto n = Number(v, 1, items);
                if (n) at(c) = int(*n - 1);
                return n.has_value();
            },
            "1…" + std::to_string(items)};
}

Key HoseSet(int channel) {
    return {"hoseSet." + std::to_string(channel + 1),
            [channel](const C& c) {
                const auto items = HoseSetItems();
                const int index = c.HoseSet[size_t(channel)];
                return index >= 0 && index < int(items.size()) ? std::string(items[size_t(index)].Text) : std::string();
            },
            [channel](C& c, std::string_view v) {
                const auto items = HoseSetItems();
                for (size_t i = 0; i < items.size(); ++i)
                    if (items[i].Text == v) {
                        c.HoseSet[size_t(channel)] = int(i);
                        return true;
                    }
                return false;
            },
            [] {
                std::string allowed;
                for (const auto& item : HoseSetItems()) allowed += (allowed.empty() ? "" : ", ") + std::string(item.Text);
                return allowed;
            }()};
}

std::vector<Key> BuildKeys() {
    std::vector<Key> keys;
    keys.push_back(Item("channels", [](C& c) -> int& { return c.ChannelCountIndex; }, CfgChannels));
    const std::pair<const char*, bool C::*> flags[] = {
        {"waitNozzleFree", &C::WaitNozzleFree}, {"dontShowTotals", &C::DontShowTotals},
        {"doseAccuracy", &C::DoseAccuracy},     {"kazakhPrice", &C::KazakhPrice},
        {"vrxOverflow", &C::VrxOverflow},
    };
    for (const auto& [name, member] : flags) keys.push_back(Flag(name, [m = member](C& c) -> bool& { return c.*m; }));
    for (int k = 0; k < 2; ++k)
        keys.push_back(Flag("invAvarBtn." + std::to_string(k + 1), [k](C& c) -> bool& { return c.InvAvarBtn[size_t(k)]; }));
    const std::pair<const char*, std::array<bool, CfgChannels> C::*> channelFlags[] = {
        {"invNozzle", &C::InvNozzle}, {"trigNozzle", &C::TrigNozzle}};
    const std::tuple<const char*, std::array<int, CfgChannels> C::*, int> items[] = {
        {"smallValveOut", &C::SmallValveOut, 15}, {"largeValveOut", &C::LargeValveOut, 15},
        {"pumpOut", &C::PumpOut, 15},             {"hoseValve", &C::HoseValve, CfgChannels},
        {"hosePump", &C::HosePump, CfgChannels},  {"hoseNozzle", &C::HoseNozzle, CfgChannels},
        {"hoseFlowmeter", &C::HoseFlowmeter, CfgChannels},
    };
    for (int i = 0; i < CfgChannels; ++i) {
        const std::string n = "." + std::to_string(i + 1);
        const auto at = size_t(i);
        for (const auto& [name, member] : channelFlags)
            keys.push_back(Flag(name + n, [m = member, at](C& c) -> bool& { return (c.*m)[at]; }));
        for (const auto& [name, member, count] : items)
            keys.push_back(Item(name + n, [m = member, at](C& c) -> int& { return (c.*m)[at]; }, count));
        for (int b = 0; b < CfgBoards; ++b)
            keys.push_back(Flag("board" + n + "." + std::to_string(b + 1),
                                [at, b](C& c) -> bool& { return c.ChannelBoard[at][size_t(b)]; }));
        keys.push_back(HoseSet(i));
    }
    return keys;
}

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = BuildKeys();
    return keys;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ConfigKeyValues(const TrkCfgControls& controls) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Key& k : Keys()) out.emplace_back(k.Name, k.Get(controls));
    return out;
}

std::string ApplyConfigSetting(TrkCfgControls& controls, std::string_view setting) {
    const size_t eq = setting.find('=');
    if (eq == std::string_view::npos) return "ожидается КЛЮЧ=ЗНАЧЕНИЕ: " + std::string(setting);
    const std::string_view name = setting.substr(0, eq), value = setting.substr(eq + 1);
    for (const Key& k : Keys()) {
        if (k.Name != name) continue;
        if (!k.Set(controls, value)) return "Неверное значение: " + std::string(setting) + ". " + k.Name + ": " + k.Allowed;
        return "";
    }
    return "Неизвестный ключ: " + std::string(name) + " (ключи и значения печатает config get)";
}
