#pragma once
// Readers of counters and per-fill records: the last fill of a channel, the data
// block, a channel's totals in two layouts, temperatures and supply voltage.
#include <string>
#include <utility>
#include <vector>

struct LastFill;
struct FillStamp;
class TComThread;

void ReadLastFill(TComThread& w);          // channel CurrentChannel
void ReadDataBlock(TComThread& w);
void ReadChannelTotals(TComThread& w);     // channel CurrentChannel
void ReadChannelCounters(TComThread& w);   // channel CurrentChannel
void ReadTempsAndVoltages(TComThread& w);  // channel CurrentChannel

// "14:05:09(+3,0)": time of the stamp, then its zone and summer-time mode.
std::string FillStampTimeText(const FillStamp& stamp);

// ChStatusListView rows 27..37 of a last fill, as (row, text).
std::vector<std::pair<int, std::string>> LastFillRowTexts(const LastFill& fill);
