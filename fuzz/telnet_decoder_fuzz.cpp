// Arbitrary bytes from a converter into the Telnet decoder, whole and cut into reads of sizes
// the input itself chooses: both must give the same data and commands, every command is
// answered by the option table, and every subnegotiation goes through the reply parser.
#include "link/TelnetCodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Decoded {
    std::vector<uint8_t> data;
    std::vector<TelnetEvent> events;
};

bool Same(const Decoded& a, const Decoded& b) {
    if (a.data != b.data || a.events.size() != b.events.size()) return false;
    for (size_t i = 0; i < a.events.size(); ++i) {
        const TelnetEvent& x = a.events[i];
        const TelnetEvent& y = b.events[i];
        if (x.verb != y.verb || x.option != y.option || x.payload != y.payload) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the read size; the rest is the stream.
    const size_t step = size_t(data[0] % 16) + 1;
    const uint8_t* stream = data + 1;
    const size_t length = size - 1;

    Decoded whole, pieces;
    TelnetDecoder one, cut;
    one.Feed(stream, length, whole.data, whole.events);
    for (size_t at = 0; at < length; at += step) cut.Feed(stream + at, std::min(step, length - at), pieces.data, pieces.events);
    if (!Same(whole, pieces)) std::abort();
    if (whole.data.size() > length) std::abort();

    TelnetOptions options;
    for (const TelnetEvent& e : whole.events) {
        if (e.payload.size() > TelnetDecoder::kMaxPayload) std::abort();
        if (e.verb == telnet::kSb) {
            (void)ParseComPortReply(e);
            continue;
        }
        // A reply is one option command or nothing, never a flood.
        const std::vector<uint8_t> reply = options.Answer(e.verb, e.option);
        if (!reply.empty() && (reply.size() != 3 || reply[0] != telnet::kIac || reply[2] != e.option)) std::abort();
    }
    return 0;
}
