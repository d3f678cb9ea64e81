// Arbitrary bytes as a request to describe, as text in either encoding and as whatever a
// user may type into the windows: nothing may read past the input, Windows-1251 text must
// come back unchanged through UTF-8, and a typed time the tool takes reads back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "commands/ConfigMapping.h"
#include "link/FuelNameCodes.h"
#include "commands/NumberText.h"
#include "commands/TabloState.h"
#include "commands/TimeCommands.h"
#include "engine/CommandCatalog.h"
#include "engine/TextHelpers.h"
#include "link/Cp1251.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that the sanitizer sees any read beyond the request.
    std::vector<uint8_t> request(data, data + size);
    static TECOMPort port;
    DescribeRequest(port, request.data(), int(request.size()));

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (Utf8ToCp1251(bytes).size() > size) std::abort();

    std::string expected(bytes);
    for (char& c : expected)
        if (uint8_t(c) == 0x98) c = '?';  // the one byte without a character
    if (Utf8ToCp1251(Cp1251ToUtf8(bytes)) != expected) std::abort();

    // Typed text, from an exact-size copy.
    const std::string typed(bytes);
    const std::string_view view(typed.data(), typed.size());
    ParseWholeNumber(view);
    SubTrkDivisor(view);
    CoefficientFromText(view);
    OffsetFromText(view);
    uint8_t codes[FuelNameLength];
    EncodeFuelName(view, codes);
    DecodeFuelName(codes);
    if (const auto stamp = ParseTimeStampText(typed); stamp && ParseTimeStampText(DateTimeText(*stamp)) != stamp)
        std::abort();
    return 0;
}
