// Arbitrary bytes as a request to describe and as text in either encoding: nothing may
// read past the input, and Windows-1251 text must come back unchanged through UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CommandCatalog.h"
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
    return 0;
}
