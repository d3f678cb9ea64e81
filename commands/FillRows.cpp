#include "commands/FillRows.h"

#include <charconv>
#include <cstdio>
#include <ctime>

std::string IsoTimeText(int64_t wallMs) {
    int64_t seconds = wallMs / 1000, ms = wallMs % 1000;
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    const time_t t = time_t(seconds);
    tm local{};
    localtime_r(&t, &local);
    const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
    const long absOffset = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, int(ms),
                  offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return text;
}

std::string DecimalText(double value, int decimals) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

std::string FillCsvHeader() {
    std::string header = "time,channel,volume_l,flow_l_min,money,dose_l,fill";
    for (const FillStateBit& bit : kFillStateBits) header += std::string(",") + bit.Key;
    return header;
}

std::string FillCsvRow(int channel, const FillPoint& point) {
    const FillReading& r = point.Reading;
    std::string row = IsoTimeText(r.WallMs) + "," + std::to_string(channel + 1) + "," +
                      DecimalText(r.VolumeMl / 1000.0, 3) + "," + DecimalText(point.RateLpm, 2) + "," +
                      DecimalText(r.Money / 100.0, 2) + "," + DecimalText(r.DoseMl / 1000.0, 3) + "," +
                      std::to_string(point.Fill);
    for (const FillStateBit& bit : kFillStateBits) row += FillStateBitSet(r.Status, bit) ? ",1" : ",0";
    return row;
}
