#include "cli/CliSearchProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

constexpr int kVrxRate = 4800;

int Probes(const SearchPlan& plan, int rate) {
    return rate == kVrxRate ? plan.VrxLast : std::max(0, plan.To - plan.From + 1);
}

std::string Duration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[48];
    if (total >= 60) std::snprintf(text, sizeof text, "%ld мин %02ld с", total / 60, total % 60);
    else std::snprintf(text, sizeof text, "%ld с", total);
    return text;
}

}  // namespace

std::optional<std::string> SearchProgressText(const std::string& status, const SearchPlan& plan,
                                              double elapsedSeconds) {
    // Compared as bytes: a scan format with Cyrillic would depend on the locale's character set.
    const std::string prefix = "Поиск сетевых адресов ";
    if (!status.starts_with(prefix)) return std::nullopt;
    int rate = 0, address = 0;
    std::istringstream numbers(status.substr(prefix.size()));
    if (!(numbers >> rate >> address)) return std::nullopt;
    const auto at = std::find(plan.Rates.begin(), plan.Rates.end(), rate);
    if (at == plan.Rates.end()) return std::nullopt;
    int total = 0, done = 0;
    for (auto r = plan.Rates.begin(); r != plan.Rates.end(); ++r) {
        total += Probes(plan, *r);
        if (r < at) done += Probes(plan, *r);
    }
    done += address - (rate == kVrxRate ? 1 : plan.From) + 1;
    std::string text = "Поиск: " + std::to_string(rate) + " бит/с, адрес " + std::to_string(address) + " (скорость " +
                       std::to_string(at - plan.Rates.begin() + 1) + " из " + std::to_string(plan.Rates.size()) + ")";
    if (done > 0 && done <= total)
        text += ", осталось " + Duration(elapsedSeconds / done * (total - done));
    return text;
}
