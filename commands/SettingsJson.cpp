#include "commands/SettingsJson.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "commands/SettingsTable.h"

using json = nlohmann::ordered_json;

namespace {

constexpr int kFormat = 1;

// Keys of the document itself; the settings are keyed by the windows' groups and captions.
constexpr char kFormatKey[] = "format";
constexpr char kReadKey[] = "Прочитано";
constexpr char kIdentityKey[] = "Идентификация";
constexpr char kChannelsKey[] = "Кол-во каналов";
constexpr char kSettingsKey[] = "Настройки";
constexpr char kCountersKey[] = "Счётчики";
constexpr char kTypeText[] = "Тип устройства";
constexpr char kTypeCode[] = "Код типа устройства";
constexpr char kFirmware[] = "Прошивка";
constexpr char kMd5[] = "MD5";
constexpr char kVrxId[] = "VRX 2.0 Id";

int LineOf(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + int(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n'));
}

// The line a person would look at for a value: where its caption stands after its group.
int LineOfValue(const std::string& text, const std::string& group, const std::string& caption) {
    size_t at = group.empty() ? 0 : text.find(json(group).dump());
    if (at == std::string::npos) return 0;
    const size_t hit = text.find(json(caption).dump(), at);
    return hit == std::string::npos ? LineOf(text, at) : LineOf(text, hit);
}

std::string LinePrefix(int line) { return line > 0 ? "строка " + std::to_string(line) + ": " : ""; }

// A value a person may have typed as a number or true/false instead of a string.
std::optional<std::string> ValueText(const json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    if (v.is_number_float()) return v.dump();
    if (v.is_boolean()) return v.get<bool>() ? "да" : "нет";
    return std::nullopt;
}

}  // namespace

std::string SettingsToJson(const SettingsSnapshot& s) {
    json doc;
    doc[kFormatKey] = kFormat;
    doc[kReadKey] = s.ReadAt;
    doc[kIdentityKey] = {{kTypeText, s.Identity.DeviceTypeText}, {kTypeCode, s.Identity.DeviceType},
                         {kFirmware, s.Identity.Firmware}, {kMd5, s.Identity.Md5}, {kVrxId, s.Identity.VrxId}};
    doc[kChannelsKey] = s.ChannelCount;
    json settings = json::object();
    for (const SettingRow& row : Rows(s)) settings[row.Group][row.Caption] = row.Text;
    doc[kSettingsKey] = settings;
    json counters = json::object();
    for (const auto& c : s.Counters) counters[c.Group][c.Caption] = c.Text;
    doc[kCountersKey] = counters;
    return doc.dump(2) + "\n";
}

SettingsFileRead SettingsFromJson(const std::string& text) {
    SettingsFileRead out;
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // The parser's position is one past the byte it stumbled on.
        out.Error = LinePrefix(LineOf(text, e.byte > 0 ? e.byte - 1 : 0)) + "это не JSON: " + e.what();
        return out;
    }
    auto fail = [&](int line, const std::string& why) {
        out.Error = LinePrefix(line) + why;
        return out;
    };
    if (!doc.is_object()) return fail(1, "ожидался объект JSON с настройками");
    if (!doc.contains(kFormatKey) || !doc[kFormatKey].is_number_integer())
        return fail(0, "нет \"format\": это не файл настроек");
    if (doc[kFormatKey].get<long long>() != kFormat)
        return fail(LineOfValue(text, "", kFormatKey), "формат " + doc[kFormatKey].dump() + " не поддерживается (нужен 1)");

    SettingsSnapshot& s = out.Snapshot;
    if (doc.contains(kReadKey) && doc[kReadKey].is_string()) s.ReadAt = doc[kReadKey].get<std::string>();
    if (!doc.contains(kIdentityKey) || !doc[kIdentityKey].is_object()) return fail(0, "нет раздела \"Идентификация\"");
    const json& id = doc[kIdentityKey];
    if (!id.contains(kTypeCode) || !id[kTypeCode].is_number_unsigned() || id[kTypeCode].get<unsigned long long>() > 0xFFFF)
        return fail(LineOfValue(text, kIdentityKey, kTypeCode), "«Код типа устройства»: нужно число от 0 до 65535");
    s.Identity.DeviceType = uint16_t(id[kTypeCode].get<unsigned>());
    auto textOf = [&](const char* key) { return id.contains(key) ? ValueText(id[key]).value_or("") : std::string(); };
    s.Identity.DeviceTypeText = textOf(kTypeText);
    s.Identity.Firmware = textOf(kFirmware);
    s.Identity.Md5 = textOf(kMd5);
    if (id.contains(kVrxId) && id[kVrxId].is_number_unsigned()) s.Identity.VrxId = id[kVrxId].get<uint32_t>();

    if (!doc.contains(kChannelsKey) || !doc[kChannelsKey].is_number_integer() || doc[kChannelsKey].get<long long>() < 0 ||
        doc[kChannelsKey].get<long long>() > kChannelCount)
        return fail(LineOfValue(text, "", kChannelsKey), "«Кол-во каналов»: нужно число от 0 до " + std::to_string(kChannelCount));
    s.ChannelCount = doc[kChannelsKey].get<int>();
    s.Channels.resize(size_t(s.ChannelCount));
    s.Flowmeters.resize(size_t(std::min(s.ChannelCount, kOwnChannelCount)));

    if (!doc.contains(kSettingsKey) || !doc[kSettingsKey].is_object()) return fail(0, "нет раздела \"Настройки\"");
    const std::vector<SettingEntry>& table = SettingTable(s.ChannelCount);
    std::map<std::pair<std::string, std::string>, size_t> byCaption;
    for (size_t i = 0; i < table.size(); ++i) byCaption[{table[i].Group, table[i].Caption}] = i;
    // Applied in the table's order whatever the file's: a price reads by the configuration's flag.
    struct Held {
        size_t Index;
        std::string Text;
        int Line;
    };
    std::vector<Held> held;
    // The file names only what it holds: what it leaves out stays unset here and is never
    // compared or written. The page records start from what no control selects.
    s.TrkCfg.fill(0);
    for (const auto& [group, values] : doc[kSettingsKey].items()) {
        if (!values.is_object()) return fail(LineOfValue(text, kSettingsKey, group), "«" + group + "»: ожидался объект");
        for (const auto& [caption, value] : values.items()) {
            const int line = LineOfValue(text, group, caption);
            auto it = byCaption.find({group, caption});
            if (it == byCaption.end()) return fail(line, "неизвестная настройка «" + caption + "» в «" + group + "»");
            const auto valueText = ValueText(value);
            if (!valueText) return fail(line, "«" + caption + "»: значение должно быть строкой");
            held.push_back({it->second, *valueText, line});
        }
    }
    std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.Index < b.Index; });
    s.FileKeys.emplace();
    for (const Held& h : held) {
        if (std::string error = table[h.Index].Set(s, h.Text); !error.empty()) return fail(h.Line, error);
        s.FileKeys->push_back(table[h.Index].Key);
    }
    if (doc.contains(kCountersKey) && doc[kCountersKey].is_object())
        for (const auto& [group, values] : doc[kCountersKey].items())
            if (values.is_object())
                for (const auto& [caption, value] : values.items())
                    s.Counters.push_back({group, caption, ValueText(value).value_or("")});
    return out;
}
