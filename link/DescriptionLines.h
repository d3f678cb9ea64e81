#pragma once
// The exchange log's description lines: a request's description in Windows-1251 with its line
// break, made once for each request that differs (command, parameters, bit rate) and handed out
// again after, since every poll pass sends the same few requests.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class DescriptionLines {
public:
    using Describer = std::string (*)(const uint8_t* request, int length, int bitRate);

    // Valid until the next call.
    std::string_view Line(Describer describer, const uint8_t* request, int length, int bitRate);
    size_t Kept() const { return lines_.size(); }

private:
    Describer describer_ = nullptr;  // the lines kept are its
    std::string key_;                // the request looked up, kept for its capacity
    std::unordered_map<std::string, std::string> lines_;
};
