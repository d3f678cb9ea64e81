#include "commands/SettingsTable.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "commands/ConfigMapping.h"
#include "commands/FlowmeterState.h"
#include "commands/FlowmeterTexts.h"
#include "commands/LinkSetup.h"
#include "commands/NumberText.h"
#include "commands/TabloState.h"
#include "commands/WriteRules.h"
#include "link/FuelNameCodes.h"

namespace {

using S = SettingsSnapshot;
using Text = std::optional<std::string>;

// --- Texts both ways. Numbers in the file never depend on the locale: a file written on one
// laptop must read on another.

std::string YesNo(bool on) { return on ? "да" : "нет"; }

std::optional<bool> ParseYesNo(const std::string& t) {
    if (t == "да" || t == "1") return true;
    if (t == "нет" || t == "0") return false;
    return std::nullopt;
}

std::string RangeError(const std::string& caption, long long low, long long high) {
    return "«" + caption + "»: нужно число от " + std::to_string(low) + " до " + std::to_string(high);
}

// A decimal with at most `decimals` places, point or comma, as an integer of the smallest unit.
std::optional<long long> ParseFixed(const std::string& text, int decimals) {
    std::string t = text;
    while (!t.empty() && t.front() == ' ') t.erase(t.begin());
    while (!t.empty() && t.back() == ' ') t.pop_back();
    const size_t dot = t.find_first_of(".,");
    std::string whole = t.substr(0, dot), part = dot == std::string::npos ? "" : t.substr(dot + 1);
    if (whole.empty() || part.size() > size_t(decimals)) return std::nullopt;
    if (dot != std::string::npos && part.empty()) return std::nullopt;
    if (whole.size() > 12) return std::nullopt;
    for (char c : whole + part)
        if (c < '0' || c > '9') return std::nullopt;
    part.resize(size_t(decimals), '0');
    long long value = std::stoll(whole);
    for (int i = 0; i < decimals; ++i) value *= 10;
    return value + (decimals ? std::stoll(part) : 0);
}

// The smallest unit as a decimal, trailing zeros dropped ("2.5", "120", "54.9").
std::string FixedString(long long value, int decimals) {
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::string text = std::to_string(value / scale);
    long long part = value % scale;
    if (part == 0) return text;
    std::string digits = std::to_string(part);
    digits.insert(0, size_t(decimals) - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

std::string ColourString(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

std::optional<uint32_t> ParseColour(const std::string& t) {
    if (t.size() != 7 || t[0] != '#') return std::nullopt;
    if (t.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) return std::nullopt;
    const unsigned long rgb = std::stoul(t.substr(1), nullptr, 16);
    // Kept as the windows keep it: red in the low byte.
    return uint32_t(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

std::string ZoneString(int8_t quarters) {
    const int q = quarters, m = std::abs(q);
    char text[12];
    std::snprintf(text, sizeof text, "%s%d:%02d", q < 0 ? "-" : "+", m / 4, 15 * (m % 4));
    return text;
}

std::optional<int8_t> ParseZone(const std::string& t) {
    int hours = 0, minutes = 0;
    char sign = 0, end = 0;
    if (std::sscanf(t.c_str(), "%c%d:%d%c", &sign, &hours, &minutes, &end) != 3) return std::nullopt;
    if ((sign != '+' && sign != '-') || hours < 0 || hours > 31 || minutes % 15 != 0 || minutes < 0 || minutes > 45)
        return std::nullopt;
    const int q = (hours * 4 + minutes / 15) * (sign == '-' ? -1 : 1);
    if (q < -128 || q > 127) return std::nullopt;
    return int8_t(q);
}

const std::vector<std::string>& SummerModeNames() {
    static const std::vector<std::string> names = {"Нет", "Автоматический переход на летнее время и обратно",
                                                   "Летнее время всегда"};
    return names;
}
const std::vector<std::string>& ProtocolNames() {
    static const std::vector<std::string> names = {"Auto", "ПК", "VRX 2.0"};
    return names;
}

std::optional<int> IndexOf(const std::vector<std::string>& names, const std::string& t) {
    auto it = std::find(names.begin(), names.end(), t);
    if (it == names.end()) return std::nullopt;
    return int(it - names.begin());
}

// A coefficient reads as the window's percentage when typing that percentage gives the same
// byte back; otherwise as the byte itself, so the file keeps it exactly.
std::string CoefficientString(uint8_t b) {
    const std::string percent = CoefficientText(b);
    return CoefficientFromText(percent) == b ? percent : std::to_string(b);
}

std::optional<uint8_t> ParseCoefficient(const std::string& t) {
    if (!t.empty() && t.back() == '%') {
        const auto v = ParseWholeNumber(t.substr(0, t.size() - 1));
        if (!v || *v < 0 || *v > 100) return std::nullopt;
        return CoefficientFromText(t);
    }
    const auto v = ParseWholeNumber(t);
    if (!v || *v < 0 || *v > 255) return std::nullopt;
    return uint8_t(*v);
}

// --- Builders of entries.

struct Builder {
    std::vector<SettingEntry> Entries;

    void Add(std::string key, std::string group, std::string caption, SettingWrite write, int index,
             std::function<Text(const S&)> get, std::function<std::string(S&, const std::string&)> set) {
        Entries.push_back({std::move(key), std::move(group), std::move(caption), std::move(get), std::move(set), write, index, {}});
    }

    // A whole number in low..high kept in the snapshot by `ref` (nullptr: no such setting now).
    template <typename T>
    void Number(std::string key, std::string group, std::string caption, SettingWrite write, int index,
                std::function<T*(S&)> ref, long long low, long long high, int decimals = 0) {
        auto get = [ref, decimals](const S& s) -> Text {
            T* p = ref(const_cast<S&>(s));
            if (!p) return std::nullopt;
            return FixedString(static_cast<long long>(*p), decimals);
        };
        auto set = [ref, caption, low, high, decimals](S& s, const std::string& t) -> std::string {
            const auto v = decimals ? ParseFixed(t, decimals) : ParseWholeNumber(t);
            if (!v || *v < low || *v > high)
                return decimals ? RangeError(caption, low, high) + " (в единицах по " + FixedString(1, decimals) + ")"
                                : RangeError(caption, low, high);
            T* p = ref(s);
            if (!p) return "«" + caption + "»: нет такой настройки";
            *p = static_cast<T>(*v);
            return {};
        };
        Add(std::move(key), std::move(group), std::move(caption), write, index, get, set);
    }

    // Holds the last entry's value to `rule` when it is written; `value` gives it in the rule's
    // units (nothing: the snapshot has no such value).
    void Rule(const ValueRule& rule, std::function<std::optional<long long>(const S&)> value) {
        Entries.back().WriteCheck = [&rule, value](const S& s) -> std::string {
            const auto v = value(s);
            return v && !rule.Holds(*v) ? rule.Message : std::string();
        };
    }

    // A whole number a device may not have (a board not fitted): `ref` gives its slot, or
    // nullptr when the snapshot has no such device at all.
    template <typename T>
    void OptionalNumber(std::string key, std::string group, std::string caption, SettingWrite write, int index,
                        std::function<std::optional<T>*(S&)> ref, long long low, long long high) {
        auto get = [ref](const S& s) -> Text {
            const std::optional<T>* p = ref(const_cast<S&>(s));
            if (!p || !*p) return std::nullopt;
            return std::to_string(static_cast<long long>(**p));
        };
        auto set = [ref, caption, low, high](S& s, const std::string& t) -> std::string {
            const auto v = ParseWholeNumber(t);
            if (!v || *v < low || *v > high) return RangeError(caption, low, high);
            std::optional<T>* p = ref(s);
            if (!p) return "«" + caption + "»: нет такой настройки";
            *p = static_cast<T>(*v);
            return {};
        };
        Add(std::move(key), std::move(group), std::move(caption), write, index, get, set);
    }
};

// --- The configuration page, through the window's own mapping so the file reads as the
// window shows it and is written as the window writes it.

using C = TrkCfgControls;

template <typename F>
std::string EditControls(S& s, F change) {
    C c = TrkCfgToControls(s.TrkCfg);
    if (std::string error = change(c); !error.empty()) return error;
    ControlsToTrkCfg(c, s.TrkCfg);
    return {};
}

void AddFlag(Builder& b, const std::string& key, const std::string& group, const std::string& caption,
             std::function<bool&(C&)> flag) {
    b.Add(key, group, caption, SettingWrite::TrkCfg, 0,
          [flag](const S& s) -> Text {
              C c = TrkCfgToControls(s.TrkCfg);
              return YesNo(flag(c));
          },
          [flag, caption](S& s, const std::string& t) {
              const auto on = ParseYesNo(t);
              if (!on) return "«" + caption + "»: нужно «да» или «нет»";
              return EditControls(s, [&](C& c) {
                  flag(c) = *on;
                  return std::string();
              });
          });
}

// A combo of items "1".."items" kept as a nibble or byte; "" is no selection, kept as a value
// of no item so that it reads back as no selection.
void AddItem(Builder& b, const std::string& key, const std::string& group, const std::string& caption,
             std::array<int, CfgChannels> C::*member, int i, int items, int byte, int shift, int width) {
    b.Add(key, group, caption, SettingWrite::TrkCfg, 0,
          [member, i](const S& s) -> Text {
              const int v = (TrkCfgToControls(s.TrkCfg).*member)[size_t(i)];
              return v == NoSelection ? std::string() : std::to_string(v + 1);
          },
          [=](S& s, const std::string& t) {
              const uint8_t mask = uint8_t(((1 << width) - 1) << shift);
              if (t.empty()) {
                  s.TrkCfg[size_t(byte)] = uint8_t(s.TrkCfg[size_t(byte)] | mask);  // all ones: no item
                  return std::string();
              }
              const auto v = ParseWholeNumber(t);
              if (!v || *v < 1 || *v > items) return RangeError(caption, 1, items);
              return EditControls(s, [&](C& c) {
                  (c.*member)[size_t(i)] = int(*v - 1);
                  return std::string();
              });
          });
}

// Bits of the page no window shows, sent back as read: a number of `width` bits at `shift`.
void AddKeptBits(Builder& b, const std::string& key, const std::string& group, const std::string& caption, int byte,
                 int shift, int width) {
    const int high = (1 << width) - 1;
    b.Add(key, group, caption, SettingWrite::TrkCfg, 0,
          [=](const S& s) -> Text { return std::to_string((s.TrkCfg[size_t(byte)] >> shift) & high); },
          [=](S& s, const std::string& t) {
              const auto v = ParseWholeNumber(t);
              if (!v || *v < 0 || *v > high) return RangeError(caption, 0, high);
              uint8_t& field = s.TrkCfg[size_t(byte)];
              field = uint8_t((field & ~(high << shift)) | (*v << shift));
              return std::string();
          });
}

void AddConfiguration(Builder& b) {
    const std::string cfg = "Конфигурация ТРК";
    AddFlag(b, "cfg.waitNozzleFree", cfg, "Разрешить передавать пистолет из рук в руки", [](C& c) -> bool& { return c.WaitNozzleFree; });
    AddFlag(b, "cfg.dontShowTotals", cfg, "Не показывать суммарники", [](C& c) -> bool& { return c.DontShowTotals; });
    AddFlag(b, "cfg.doseAccuracy", cfg, "Округлять дозу до 10 мл", [](C& c) -> bool& { return c.DoseAccuracy; });
    AddFlag(b, "cfg.kazakhPrice", cfg, "Цена без копеек (Тенге)", [](C& c) -> bool& { return c.KazakhPrice; });
    AddFlag(b, "cfg.vrxOverflow", cfg, "Передавать перелив по протоколу VRX2.0", [](C& c) -> bool& { return c.VrxOverflow; });
    for (int k = 0; k < 2; ++k)
        AddFlag(b, "cfg.invAvarBtn." + std::to_string(k + 1), cfg,
                "Инверсия кнопок аварийного останова : " + std::to_string(k + 1),
                [k](C& c) -> bool& { return c.InvAvarBtn[size_t(k)]; });
    // Bits no window shows go back as read; the file keeps them so a clone gets them too.
    AddKeptBits(b, "cfg.byte2bit5", cfg, "Байт 2, бит 5 (не показывается)", 2, 5, 1);

    const std::string channels = "Конфигурация логических каналов";
    b.Add("cfg.channelCount", channels, "Кол-во каналов :", SettingWrite::TrkCfg, 0,
          [](const S& s) -> Text {
              const auto n = TrkCfgChannelCount(s.TrkCfg);
              return n ? std::to_string(*n) : std::to_string(s.TrkCfg[0]);
          },
          [](S& s, const std::string& t) {
              const auto v = ParseWholeNumber(t);
              if (!v || *v < 1 || *v > CfgChannels) return RangeError("Кол-во каналов :", 1, CfgChannels);
              s.TrkCfg[0] = uint8_t(*v);
              return std::string();
          });
    for (int i = 0; i < CfgChannels; ++i) {
        const std::string n = std::to_string(i + 1), caption = "Канал " + n + ": Шланги";
        b.Add("cfg.hoseSet." + n, channels, caption, SettingWrite::TrkCfg, 0,
              [i](const S& s) -> Text {
                  const int index = HoseSetIndex(s.TrkCfg[size_t(24 + 2 * i)]);
                  return index == NoSelection ? std::string() : std::string(HoseSetItems()[size_t(index)].Text);
              },
              [i, caption](S& s, const std::string& t) {
                  if (t.empty()) {
                      s.TrkCfg[size_t(24 + 2 * i)] = 0;
                      return std::string();
                  }
                  for (const HoseSetItem& item : HoseSetItems())
                      if (item.Text == t) {
                          s.TrkCfg[size_t(24 + 2 * i)] = item.Code;
                          return std::string();
                      }
                  return "«" + caption + "»: нет такого набора шлангов: " + t;
              });
        for (int k = 0; k < CfgBoards; ++k)
            AddFlag(b, "cfg.board." + n + "." + std::to_string(k + 1), channels,
                    "Канал " + n + ": Табло " + std::to_string(k + 1),
                    [i, k](C& c) -> bool& { return c.ChannelBoard[size_t(i)][size_t(k)]; });
        AddKeptBits(b, "cfg.boardByteBits." + n, channels, "Канал " + n + ": биты 4..6 (не показываются)", 23 + 2 * i, 4, 3);
    }

    const std::string outputs = "Конфигурация силовых выходов";
    for (int i = 0; i < CfgChannels; ++i) {
        const std::string n = std::to_string(i + 1);
        AddItem(b, "cfg.pumpOut." + n, outputs, "Канал " + n + ": Насос", &C::PumpOut, i, 15, 8 + i, 0, 8);
        AddItem(b, "cfg.largeValve." + n, outputs, "Канал " + n + ": Основной", &C::LargeValveOut, i, 15, 3 + i, 4, 4);
        AddItem(b, "cfg.smallValve." + n, outputs, "Канал " + n + ": Сниж.", &C::SmallValveOut, i, 15, 3 + i, 0, 4);
    }

    const std::string sensors = "Датчики снятия пистолетов";
    for (int i = 0; i < CfgChannels; ++i) {
        const std::string n = std::to_string(i + 1);
        AddFlag(b, "cfg.invNozzle." + n, sensors, "Инверсия : " + n, [i](C& c) -> bool& { return c.InvNozzle[size_t(i)]; });
        AddFlag(b, "cfg.trigNozzle." + n, sensors, "Кнопка без фиксации : " + n,
                [i](C& c) -> bool& { return c.TrigNozzle[size_t(i)]; });
    }

    const std::string hoses = "Конфигурация шлангов";
    for (int i = 0; i < CfgChannels; ++i) {
        const std::string n = std::to_string(i + 1);
        AddItem(b, "cfg.hoseValve." + n, hoses, "Шланг " + n + ": Клапан", &C::HoseValve, i, 5, 13 + 2 * i, 0, 4);
        AddItem(b, "cfg.hosePump." + n, hoses, "Шланг " + n + ": Насос", &C::HosePump, i, 5, 13 + 2 * i, 4, 4);
        AddItem(b, "cfg.hoseNozzle." + n, hoses, "Шланг " + n + ": Пистолет", &C::HoseNozzle, i, 5, 14 + 2 * i, 0, 4);
        AddItem(b, "cfg.hoseFlowmeter." + n, hoses, "Шланг " + n + ": Расходомер", &C::HoseFlowmeter, i, 5, 14 + 2 * i, 4, 4);
    }
}

void AddSubControllers(Builder& b) {
    const std::string group = "Подчинённые контроллеры";
    b.Number<uint8_t>("sub.address1", group, "Адрес первого :", SettingWrite::SubTrkCfg, 0,
                      [](S& s) { return &s.SubTrkCfg[4]; }, 0, 255);
    b.Number<uint8_t>("sub.address2", group, "Адрес второго :", SettingWrite::SubTrkCfg, 0,
                      [](S& s) { return &s.SubTrkCfg[6]; }, 0, 255);
    // The divisor reads as the bit rate the window shows; any rate the divisor gives exactly is taken.
    b.Add("sub.bitRate", group, "Скорость обмена :", SettingWrite::SubTrkCfg, 0,
          [](const S& s) -> Text { return std::to_string(SubTrkBitRate(s.SubTrkCfg[3])); },
          [](S& s, const std::string& t) {
              const auto rate = ParseWholeNumber(t);
              for (int d = 0; d < 256 && rate; ++d)
                  if (SubTrkBitRate(uint8_t(d)) == *rate) {
                      s.SubTrkCfg[3] = uint8_t(d);
                      return std::string();
                  }
              return "«Скорость обмена :»: нет такой скорости подчинённых контроллеров: " + t;
          });
}

void AddLinkAndTime(Builder& b) {
    b.Add("protocol", "Протокол", "Протокол", SettingWrite::Protocol, 0,
          [](const S& s) -> Text {
              if (s.ProtocolType < 0 || s.ProtocolType >= int(ProtocolNames().size())) return std::nullopt;
              return ProtocolNames()[size_t(s.ProtocolType)];
          },
          [](S& s, const std::string& t) {
              const auto v = IndexOf(ProtocolNames(), t);
              if (!v) return std::string("«Протокол»: нужно «Auto», «ПК» или «VRX 2.0»");
              s.ProtocolType = *v;
              return std::string();
          });
    b.Add("time.zone", "Время", "Часовой пояс :", SettingWrite::TimeZone, 0,
          [](const S& s) -> Text {
              if (!s.TimeZone) return std::nullopt;
              return ZoneString(*s.TimeZone);
          },
          [](S& s, const std::string& t) {
              const auto z = ParseZone(t);
              if (!z) return std::string("«Часовой пояс :»: нужно смещение от Гринвича вида +3:00 (минуты 00, 15, 30 или 45)");
              s.TimeZone = *z;
              return std::string();
          });
    b.Add("time.summer", "Время", "Доп. смещение :", SettingWrite::TimeZone, 0,
          [](const S& s) -> Text {
              if (!s.TimeZone || s.SummerTimeMode >= SummerModeNames().size()) return std::nullopt;
              return SummerModeNames()[s.SummerTimeMode];
          },
          [](S& s, const std::string& t) {
              const auto v = IndexOf(SummerModeNames(), t);
              if (!v) return std::string("«Доп. смещение :»: нужно «Нет», «Автоматический переход на летнее время и обратно» или «Летнее время всегда»");
              s.SummerTimeMode = uint8_t(*v);
              return std::string();
          });
    b.Number<uint8_t>("tablo.nightBright", "Яркость табло", "Ночная яркость :", SettingWrite::NightBright, 0,
                      [](S& s) { return &s.NightBright; }, 0, 255);
    b.Rule(WriteRule::NightBright, [](const S& s) { return s.NightBright; });
}

// The controller-wide rows of the main window, under its groups and captions.
void AddParameters(Builder& b) {
    const std::string main = "Настройки ТРК (можно редактировать)";
    const std::string gas = "Параметры останова газовых ТРК";
    const std::string fault = "Параметры обнаружения неисправного расходомера";
    b.Number<uint16_t>("tablo.cutOff", main, "Отсечка табло, (мл)", SettingWrite::TabloCutOff, 0,
                       [](S& s) { return &s.TabloCutOff; }, 0, 65535);
    b.Rule(WriteRule::TabloCutOff, [](const S& s) { return s.TabloCutOff; });
    // The step is kept in tens of ms and shown in ms, as the main window shows it.
    b.Add("tablo.testStep", main, "Шаг теста табло, (мс)", SettingWrite::TabloTestStep, 0,
          [](const S& s) -> Text { return std::to_string(s.TabloTestStep * 10); },
          [](S& s, const std::string& t) {
              const auto v = ParseWholeNumber(t);
              if (!v || *v < 0 || *v > 2550 || *v % 10 != 0) return RangeError("Шаг теста табло, (мс)", 0, 2550) + ", кратное 10";
              s.TabloTestStep = uint8_t(*v / 10);
              return std::string();
          });
    b.Rule(WriteRule::TabloTestStep, [](const S& s) { return s.TabloTestStep * 10; });
    b.Number<uint8_t>("flow.timeout", main, "Таймаут расходомера, (с)", SettingWrite::FlowmeterParams, 0,
                      [](S& s) { return &s.FlowmeterTimeout; }, 0, 255);
    b.Rule(FlowmeterGroupRules()[0], [](const S& s) { return s.FlowmeterTimeout; });

    // The parameter block: offset in the block, size, caption, group, decimals.
    struct Param {
        const char* Key;
        int At, Size;
        const char* Caption;
        const std::string* Group;
        int Decimals;
        bool FullOnly;
    };
    const Param params[] = {
        {"flow.mainValveTimeout", 0, 1, "Таймаут основного клапана, (с)", &main, 1, false},
        {"flow.mainValveThreshold", 1, 1, "Порог вкл. осн. клапана, (имп)", &main, 0, false},
        {"flow.maxDifference", 2, 1, "Макс. диф. расходомера, (имп)", &main, 0, false},
        {"flow.maxBackRun", 3, 1, "Макс. обратный ход расходомера, (имп)", &main, 0, false},
        {"flow.maxLeak", 4, 2, "Макс. утечка, (мл)", &main, 0, false},
        {"flow.countingTime", 6, 2, "Время подсчёта импульсов, (мс)", &main, 0, false},
        {"flow.minSpeed", 8, 2, "Минимальная скорость, (мл/с)", &gas, 0, false},
        {"flow.minSpeedTime", 10, 1, "Время минимальной скорости, (с)", &gas, 0, false},
        {"flow.maxManualDose", 11, 4, "Макс. доза ручного налива, (л)", &main, 3, false},
        {"flow.faultSpeed", 15, 2, "Минимальная скорость, (мл/c)", &fault, 0, true},
        {"flow.faultFills", 17, 1, "Кол-во заправок", &fault, 0, true},
    };
    for (size_t i = 0; i < std::size(params); ++i) {
        const Param& p = params[i];
        const long long high = p.Size == 1 ? 255 : p.Size == 2 ? 65535 : 4294967295LL;
        const std::string caption = p.Caption;
        const int at = p.At, size = p.Size, decimals = p.Decimals;
        const bool fullOnly = p.FullOnly;
        b.Add(p.Key, *p.Group, caption, SettingWrite::FlowmeterParams, 0,
              [=](const S& s) -> Text {
                  if (!s.FlowmeterParams || (fullOnly && !s.FlowmeterParamsFull)) return std::nullopt;
                  long long v = 0;
                  for (int k = size - 1; k >= 0; --k) v = v * 256 + (*s.FlowmeterParams)[size_t(at + k)];
                  return FixedString(v, decimals);
              },
              [=](S& s, const std::string& t) {
                  const auto v = decimals ? ParseFixed(t, decimals) : ParseWholeNumber(t);
                  if (!v || *v < 0 || *v > high) return RangeError(caption, 0, high);
                  if (!s.FlowmeterParams) s.FlowmeterParams.emplace();
                  if (fullOnly) s.FlowmeterParamsFull = true;
                  for (int k = 0; k < size; ++k) (*s.FlowmeterParams)[size_t(at + k)] = uint8_t(*v >> (8 * k));
                  return std::string();
              });
        // The rules count in the block's own units, so the shown text is not needed.
        const SettingEntry& entry = b.Entries.back();
        b.Rule(FlowmeterGroupRules()[i + 1], [get = entry.Get, decimals](const S& s) -> std::optional<long long> {
            const Text t = get(s);
            if (!t) return std::nullopt;
            return ParseFixed(*t, decimals);
        });
    }
}

void AddChannels(Builder& b, int channelCount) {
    for (int c = 0; c < channelCount; ++c) {
        const std::string n = std::to_string(c + 1), group = "Канал " + n, key = "channel." + n + ".";
        auto channel = [c](S& s) -> ChannelSettings* {
            return size_t(c) < s.Channels.size() ? &s.Channels[size_t(c)] : nullptr;
        };
        // A price is kopecks, or whole units under the configuration's flag, as the window shows it.
        b.Add(key + "price", group, "Цена, (руб/литр)", SettingWrite::Price, c,
              [channel](const S& s) -> Text {
                  const ChannelSettings* ch = channel(const_cast<S&>(s));
                  if (!ch) return std::nullopt;
                  if (TrkCfgToControls(s.TrkCfg).KazakhPrice) return std::to_string(ch->Price);
                  // Money keeps its two places, as on a price board.
                  char text[24];
                  std::snprintf(text, sizeof text, "%u.%02u", ch->Price / 100, ch->Price % 100);
                  return std::string(text);
              },
              [channel](S& s, const std::string& t) {
                  const int decimals = TrkCfgToControls(s.TrkCfg).KazakhPrice ? 0 : 2;
                  const auto v = ParseFixed(t, decimals);
                  if (!v || *v < 0 || *v > 4294967295LL)
                      return std::string("«Цена, (руб/литр)»: нужна цена ") +
                             (decimals ? "в рублях с копейками, например 54.90" : "в целых единицах");
                  ChannelSettings* ch = channel(s);
                  if (!ch) return std::string("«Цена, (руб/литр)»: нет такого канала");
                  ch->Price = uint32_t(*v);
                  return std::string();
              });
        // A price beyond a signed 32-bit number the window's editor takes for a wrapped one.
        static const ValueRule kPrice{0, INT32_MAX, "Неправильная цена"};
        b.Rule(kPrice, [channel](const S& s) -> std::optional<long long> {
            const ChannelSettings* ch = channel(const_cast<S&>(s));
            if (!ch) return std::nullopt;
            return ch->Price;
        });
        // The window writes the ramp-up of the controller's own channels only.
        if (c < kOwnChannelCount)
            b.Number<uint16_t>(key + "pumpRampUp", group, "Время разгона насоса, (мс)", SettingWrite::PumpRampUp, c,
                               [channel](S& s) -> uint16_t* { auto* ch = channel(s); return ch ? &ch->PumpRampUpTime : nullptr; },
                               0, 65535);
        b.Add(key + "fuelName", group, "Название топлива", SettingWrite::FuelName, c,
              [channel](const S& s) -> Text {
                  const ChannelSettings* ch = channel(const_cast<S&>(s));
                  return ch ? Text(ch->FuelName) : std::nullopt;
              },
              [channel](S& s, const std::string& t) {
                  ChannelSettings* ch = channel(s);
                  if (!ch) return std::string("«Название топлива»: нет такого канала");
                  size_t characters = 0;
                  for (char byte : t) characters += (uint8_t(byte) & 0xC0) != 0x80;
                  if (characters > FuelNameLength)
                      return "«Название топлива»: не больше " + std::to_string(FuelNameLength) + " знаков";
                  ch->FuelName = NormalFuelName(t);
                  return std::string();
              });
        for (int kind = 0; kind < 2; ++kind) {
            const std::string caption = kind == 0 ? "Цвет снятого пистолета" : "Цвет неснятого пистолета";
            auto colour = [channel, kind](S& s) -> uint32_t* {
                auto* ch = channel(s);
                return ch ? (kind == 0 ? &ch->LiftedColour : &ch->RestingColour) : nullptr;
            };
            b.Add(key + (kind == 0 ? "liftedColour" : "restingColour"), group, caption, SettingWrite::NozzleColours, c,
                  [colour](const S& s) -> Text {
                      const uint32_t* p = colour(const_cast<S&>(s));
                      return p ? Text(ColourString(*p)) : std::nullopt;
                  },
                  [colour, caption](S& s, const std::string& t) {
                      const auto v = ParseColour(t);
                      if (!v) return "«" + caption + "»: нужен цвет вида #RRGGBB";
                      uint32_t* p = colour(s);
                      if (!p) return "«" + caption + "»: нет такого канала";
                      *p = *v;
                      return std::string();
                  });
        }
        b.Number<uint8_t>(key + "vrxAddress", group, "Адрес VRX2.0", SettingWrite::VrxAddress, c,
                          [channel](S& s) -> uint8_t* { auto* ch = channel(s); return ch ? &ch->VrxAddress : nullptr; },
                          0, 255);
        b.Rule(WriteRule::VrxAddress, [channel](const S& s) -> std::optional<long long> {
            const ChannelSettings* ch = channel(const_cast<S&>(s));
            if (!ch) return std::nullopt;
            return ch->VrxAddress;
        });
        // The window edits the reductions of its own board and of the first sub-controller.
        if (c < 2 * kOwnChannelCount)
            b.OptionalNumber<uint16_t>(key + "reduction", group, "Снижение напора, (мл)", SettingWrite::ReductionConst, c,
                                       [channel](S& s) -> std::optional<uint16_t>* {
                                           auto* ch = channel(s);
                                           return ch ? &ch->ReductionConst : nullptr;
                                       },
                                       0, 65535);
    }
}

void AddFlowmeters(Builder& b, int channelCount) {
    for (int f = 0; f < std::min(channelCount, kOwnChannelCount); ++f) {
        const std::string n = std::to_string(f + 1), group = "Расходомер " + n, key = "flowmeter." + n + ".";
        auto meter = [f](S& s) -> FlowmeterSettings* {
            return size_t(f) < s.Flowmeters.size() ? &s.Flowmeters[size_t(f)] : nullptr;
        };
        b.Add(key + "type", group, "Тип расходомера", SettingWrite::FlowmeterType, f,
              [meter](const S& s) -> Text {
                  const FlowmeterSettings* m = meter(const_cast<S&>(s));
                  return m ? Text(FlowmeterTypeText(m->Type)) : std::nullopt;
              },
              [meter](S& s, const std::string& t) {
                  std::optional<int> type;
                  for (int k = 0; k <= kLpgMassFlowmeterType; ++k)
                      if (FlowmeterTypeText(uint8_t(k)) == t) type = k;
                  if (!type) return std::string("«Тип расходомера»: нужно «---», «2х-канальный», «Квадратурный», «Крипто» или «LPGmass»");
                  FlowmeterSettings* m = meter(s);
                  if (!m) return std::string("«Тип расходомера»: нет такого расходомера");
                  m->Type = uint8_t(*type);
                  return std::string();
              });
        // The address goes with the type in one write, so it is written as the type's part.
        b.Number<uint8_t>(key + "lpgAddress", group, "Адрес расходомера LPGmass", SettingWrite::FlowmeterType, f,
                          [meter](S& s) -> uint8_t* { auto* m = meter(s); return m ? &m->LpgAddress : nullptr; },
                          0, 255);
        auto lpgAddress = [meter](const S& s) -> std::optional<long long> {
            const FlowmeterSettings* m = meter(const_cast<S&>(s));
            if (!m || m->Type != kLpgMassFlowmeterType) return std::nullopt;
            return m->LpgAddress;
        };
        b.Entries.back().Get = [lpgAddress](const S& s) -> Text {
            const auto a = lpgAddress(s);
            return a ? Text(std::to_string(*a)) : std::nullopt;
        };
        b.Rule(WriteRule::LpgAddress, lpgAddress);
        b.OptionalNumber<int8_t>(key + "tempOffset", group, "Смещение температуры, (ºС)", SettingWrite::FlowmeterTempOffset, f,
                                 [meter](S& s) -> std::optional<int8_t>* {
                                     auto* m = meter(s);
                                     return m ? &m->TempOffset : nullptr;
                                 },
                                 -128, 127);
        b.Rule(WriteRule::FlowmeterTempOffset, [meter](const S& s) -> std::optional<long long> {
            const FlowmeterSettings* m = meter(const_cast<S&>(s));
            if (!m || !m->TempOffset) return std::nullopt;
            return *m->TempOffset;
        });
    }
}

void AddDisplays(Builder& b) {
    static const char* const correction[] = {"Коэф R", "Коэф G", "Коэф B", "Смещ R", "Смещ G", "Смещ B"};
    for (int d = 0; d < kDisplayDeviceCount; ++d) {
        const std::string n = std::to_string(d + 1);
        const std::string group = IsDisplayBoard(d) ? "Табло " + n : "Клавиатура " + n;
        const std::string key = "display." + n + ".";
        // -128 is the devices' "no value": it cannot be written.
        b.OptionalNumber<int8_t>(key + "tempOffset", group, "Смещение температуры", SettingWrite::TabloTempOffset, d,
                                 [d](S& s) { return &s.Displays[size_t(d)].TempOffset; }, -127, 127);
        if (!IsDisplayBoard(d)) continue;
        for (int k = 0; k < kTabloColourCorrectionSize; ++k) {
            const std::string caption = correction[k];
            const bool coefficient = k < 3;
            b.Add(key + "colour." + std::to_string(k + 1), group, caption,
                  SettingWrite::ColourCorrection, d,
                  [d, k, coefficient](const S& s) -> Text {
                      const auto& cc = s.Displays[size_t(d)].ColourCorrection;
                      if (!cc) return std::nullopt;
                      const uint8_t v = (*cc)[size_t(k)];
                      return coefficient ? CoefficientString(v) : OffsetText(v);
                  },
                  [d, k, coefficient, caption](S& s, const std::string& t) {
                      std::optional<uint8_t> v;
                      if (coefficient) {
                          v = ParseCoefficient(t);
                      } else if (const auto o = ParseWholeNumber(t); o && *o >= -128 && *o <= 127) {
                          v = OffsetFromText(t);
                      }
                      if (!v)
                          return coefficient ? "«" + caption + "»: нужно от 0% до 100% или байт от 0 до 255"
                                             : RangeError(caption, -128, 127);
                      auto& cc = s.Displays[size_t(d)].ColourCorrection;
                      if (!cc) cc.emplace();
                      (*cc)[size_t(k)] = *v;
                      return std::string();
                  });
        }
    }
}

void AddPeripherals(Builder& b) {
    const std::string sound = "Звукогенератор", valves = "Контроллер пропорциональных клапанов";
    b.Number<uint8_t>("soundGen.address", sound, "Адрес", SettingWrite::SoundGenAddress, 0,
                      [](S& s) -> uint8_t* {
                          if (!s.SoundGen) s.SoundGen.emplace();
                          return &s.SoundGen->Address;
                      },
                      0, 255);
    // Read without creating what the snapshot does not have.
    b.Entries.back().Get = [](const S& s) -> Text {
        return s.SoundGen ? Text(std::to_string(s.SoundGen->Address)) : std::nullopt;
    };
    b.Rule(WriteRule::SoundGenAddress, [](const S& s) -> std::optional<long long> {
        if (!s.SoundGen) return std::nullopt;
        return s.SoundGen->Address;
    });
    b.Add("soundGen.volume", sound, "Громкость", SettingWrite::SoundGenVolume, 0,
          [](const S& s) -> Text {
              if (!s.SoundGen || !s.SoundGen->Volume) return std::nullopt;
              return std::to_string(*s.SoundGen->Volume);
          },
          [](S& s, const std::string& t) {
              const auto v = ParseWholeNumber(t);
              if (!v || *v < 0 || *v > 255) return RangeError("Громкость", 0, 255);
              if (!s.SoundGen) s.SoundGen.emplace();
              s.SoundGen->Volume = uint8_t(*v);
              return std::string();
          });
    b.Rule(WriteRule::SoundGenVolume, [](const S& s) -> std::optional<long long> {
        if (!s.SoundGen || !s.SoundGen->Volume) return std::nullopt;
        return *s.SoundGen->Volume;
    });

    // The three go in one write; each is a row of the main window's valve-controller group.
    struct ValveField {
        const char* Key;
        const char* Caption;
        uint8_t ValveControllerSettings::*Member;
    };
    const ValveField fields[] = {
        {"valves.address", "Адрес", &ValveControllerSettings::Address},
        {"valves.bitRate", "Скорость обмена, (бод)", &ValveControllerSettings::Divisor},
        {"valves.opening", "Степень открытия при снижении, (%)", &ValveControllerSettings::Opening},
    };
    for (const ValveField& f : fields) {
        const bool rate = f.Member == &ValveControllerSettings::Divisor;
        const std::string caption = f.Caption;
        const auto member = f.Member;
        auto value = [member, rate](const S& s) -> std::optional<long long> {
            if (!s.ValveController) return std::nullopt;
            const uint8_t v = (*s.ValveController).*member;
            return rate ? 921600 / (v + 1) : v;
        };
        b.Add(f.Key, valves, caption, SettingWrite::ValveController, 0,
              [value](const S& s) -> Text {
                  const auto v = value(s);
                  return v ? Text(std::to_string(*v)) : std::nullopt;
              },
              [member, rate, caption](S& s, const std::string& t) {
                  const auto v = ParseWholeNumber(t);
                  std::optional<uint8_t> stored;
                  if (v && rate) {
                      for (int d = 0; d < 256 && !stored; ++d)
                          if (921600 / (d + 1) == *v) stored = uint8_t(d);
                  } else if (v && *v >= 0 && *v <= 255) {
                      stored = uint8_t(*v);
                  }
                  if (!stored)
                      return rate ? "«" + caption + "»: нет такой скорости: " + t : RangeError(caption, 0, 255);
                  if (!s.ValveController) s.ValveController.emplace();
                  (*s.ValveController).*member = *stored;
                  return std::string();
              });
        if (rate)
            b.Entries.back().WriteCheck = [value](const S& s) -> std::string {
                const auto v = value(s);
                return v && !ValveControllerRateAllowed(*v) ? kValveControllerRateMessage : std::string();
            };
        else
            b.Rule(member == &ValveControllerSettings::Address ? WriteRule::ValveControllerAddress
                                                                : WriteRule::ValveControllerOpening,
                   value);
    }
}

std::vector<SettingEntry> BuildTable(int channelCount) {
    Builder b;
    AddConfiguration(b);
    AddSubControllers(b);
    AddLinkAndTime(b);
    AddParameters(b);
    AddChannels(b, channelCount);
    AddFlowmeters(b, channelCount);
    AddDisplays(b);
    AddPeripherals(b);
    return std::move(b.Entries);
}

}  // namespace

const std::vector<SettingEntry>& SettingTable(int channelCount) {
    channelCount = std::clamp(channelCount, 0, kChannelCount);
    // Built once per channel count and kept: the table is walked for every row of every file.
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<const std::vector<SettingEntry>>> tables;
    std::lock_guard lock(mutex);
    auto& table = tables[channelCount];
    if (!table) table = std::make_unique<const std::vector<SettingEntry>>(BuildTable(channelCount));
    return *table;
}

const SettingEntry* FindSetting(const std::string& key, int channelCount) {
    for (const SettingEntry& e : SettingTable(channelCount))
        if (e.Key == key) return &e;
    return nullptr;
}
