#include "commands/ConfigChecks.h"

#include <algorithm>
#include <optional>

#include "commands/ConfigMapping.h"

namespace {

constexpr int kOutputs = 15;

// The channel count the combo selects, 1..5, or nothing.
std::optional<int> ChannelCount(int channelCountIndex) {
    const int n = channelCountIndex + 1;
    if (n < 1 || n > CfgChannels) return std::nullopt;
    return n;
}

bool IsOutput(int item) { return item >= 0 && item < kOutputs; }

// "1, 3": the channels (1-based) any of the marks holds.
std::string MarkedChannels(std::initializer_list<const ChannelMarks*> marks) {
    std::string text;
    for (int j = 0; j < CfgChannels; ++j) {
        const bool red = std::any_of(marks.begin(), marks.end(), [j](const ChannelMarks* m) { return (*m)[size_t(j)]; });
        if (red) text += (text.empty() ? "" : ", ") + std::to_string(j + 1);
    }
    return text;
}

}  // namespace

HoseSetCheck CheckHoseSets(int channelCountIndex, const ChannelItems& hoseSet) {
    HoseSetCheck check;
    const auto n = ChannelCount(channelCountIndex);
    if (!n) return check;
    check.CountValid = check.Applies = true;
    std::array<uint8_t, CfgChannels> codes{};
    for (int j = 0; j < *n; ++j) {
        const auto code = HoseSetCode(hoseSet[size_t(j)]);
        if (!code) {
            check.Red[size_t(j)] = true;
            continue;
        }
        codes[size_t(j)] = *code;
        for (int k = 0; k < j; ++k)
            if (codes[size_t(k)] & *code) check.Red[size_t(k)] = check.Red[size_t(j)] = true;
    }
    check.WriteEnabled = true;
    for (bool red : check.Red) check.WriteEnabled = check.WriteEnabled && !red;
    return check;
}

PowerOutputCheck CheckPowerOutputs(int channelCountIndex, const ChannelItems& small, const ChannelItems& large,
                                   const ChannelItems& pump) {
    PowerOutputCheck check;
    const int n = channelCountIndex + 1;
    check.CountValid = ChannelCount(channelCountIndex).has_value();
    // Above five there is no sixth row to check: the combos keep their colours.
    check.Recolour = n <= CfgChannels;
    for (int j = 0; j < std::min(n, CfgChannels); ++j) {
        const size_t J = size_t(j);
        const int r = small[J], m = large[J], p = pump[J];
        if (!IsOutput(r)) check.SmallRed[J] = true;
        if (!IsOutput(m)) check.LargeRed[J] = true;
        if (!IsOutput(p)) check.PumpRed[J] = true;
        if (r == m) check.SmallRed[J] = check.LargeRed[J] = true;
        if (p == r) check.PumpRed[J] = check.SmallRed[J] = true;
        if (p == m) check.PumpRed[J] = check.LargeRed[J] = true;
        for (int k = 0; k < j; ++k) {
            const size_t K = size_t(k);
            // An earlier channel's valve output taken by any output of this one.
            for (auto [earlier, earlierRed] : {std::pair{small[K], &check.SmallRed}, std::pair{large[K], &check.LargeRed}}) {
                if (earlier == r) (*earlierRed)[K] = check.SmallRed[J] = true;
                if (earlier == m) (*earlierRed)[K] = check.LargeRed[J] = true;
                if (earlier == p) (*earlierRed)[K] = check.PumpRed[J] = true;
            }
            // An earlier channel's pump on this one's valve; equal pumps are allowed.
            if (pump[K] == r) check.PumpRed[K] = check.SmallRed[J] = true;
            if (pump[K] == m) check.PumpRed[K] = check.LargeRed[J] = true;
        }
    }
    bool marked = false;
    for (int j = 0; j < CfgChannels; ++j)
        marked = marked || check.SmallRed[size_t(j)] || check.LargeRed[size_t(j)] || check.PumpRed[size_t(j)];
    check.WriteEnabled = check.CountValid && !marked;
    return check;
}

std::string ConfigConflictText(const TrkCfgControls& c) {
    const HoseSetCheck hoses = CheckHoseSets(c.ChannelCountIndex, c.HoseSet);
    if (!hoses.CountValid) return "Неверное число каналов";
    if (!hoses.WriteEnabled) return "Наборы шлангов в конфликте, каналы " + MarkedChannels({&hoses.Red});
    const PowerOutputCheck outputs = CheckPowerOutputs(c.ChannelCountIndex, c.SmallValveOut, c.LargeValveOut, c.PumpOut);
    if (!outputs.WriteEnabled)
        return "Силовые выходы в конфликте, каналы " +
               MarkedChannels({&outputs.SmallRed, &outputs.LargeRed, &outputs.PumpRed});
    return {};
}

LayoutCheck CheckLayout(const TrkCfgControls& c) {
    LayoutCheck check;
    const HoseSetCheck hoses = CheckHoseSets(c.ChannelCountIndex, c.HoseSet);
    check.CountValid = hoses.CountValid;
    if (!check.CountValid) return check;
    const PowerOutputCheck outputs = CheckPowerOutputs(c.ChannelCountIndex, c.SmallValveOut, c.LargeValveOut, c.PumpOut);
    check.HoseRed = hoses.Red;
    check.SmallRed = outputs.SmallRed;
    check.LargeRed = outputs.LargeRed;
    check.PumpRed = outputs.PumpRed;
    check.Free = hoses.WriteEnabled && outputs.WriteEnabled;
    return check;
}

std::string ConfigWriteRefusal(bool readHere, const TrkCfgControls& controls) {
    if (!readHere) return "Сначала прочитайте конфигурацию с этого контроллера (Опрос)";
    return ConfigConflictText(controls);
}
