#include "tests/support/RequestContent.h"

#include <algorithm>

#include "link/FrameCodec.h"

std::vector<uint8_t> RequestContent(const uint8_t* frame, size_t length) {
    // Unstuffing never lengthens a frame.
    std::vector<uint8_t> body(length);
    FrameUnstuffer unstuffer(body.data(), int(body.size()));
    for (size_t i = 0; i < length && unstuffer.WantsByte(); ++i) unstuffer.Push(frame[i]);
    body.resize(size_t(std::max(unstuffer.Stored() - 2, 0)));
    return body;
}
