#pragma once
// A fill's points as table rows, for files a spreadsheet or a script reads: the recorder of
// `ornix-cli record` and the chart's CSV write the same columns.
#include <cstdint>
#include <string>

#include "commands/FillSeries.h"

// ISO 8601 local time with milliseconds and the zone's offset: 2025-03-01T14:05:09.250+03:00.
std::string IsoTimeText(int64_t wallMs);

// A number with a decimal point whatever the locale, so a comma can part the fields.
std::string DecimalText(double value, int decimals);

// Column names, comma-separated: time, channel, volume_l, flow_l_min, money, dose_l, fill,
// then the state bits.
std::string FillCsvHeader();
// One point of a channel (0-based; shown from 1), fields as the header names them; no line end.
std::string FillCsvRow(int channel, const FillPoint& point);
