#include "link/DescriptionLines.h"

#include "link/Cp1251.h"

namespace {
// Parameters that vary freely (prices, addresses written) would make lines without end.
constexpr size_t kKeptLines = 256;
}  // namespace

std::string_view DescriptionLines::Line(Describer describer, const uint8_t* request, int length, int bitRate) {
    if (describer != describer_) {
        lines_.clear();
        describer_ = describer;
    }
    key_.assign(reinterpret_cast<const char*>(&bitRate), sizeof bitRate);
    if (length > 0) key_.append(reinterpret_cast<const char*>(request), size_t(length));
    if (const auto found = lines_.find(key_); found != lines_.end()) return found->second;
    if (lines_.size() >= kKeptLines) lines_.clear();
    std::string line;
    AppendAsCp1251(line, describer(request, length, bitRate));
    line += "\r\n";
    return lines_.emplace(key_, std::move(line)).first->second;
}
