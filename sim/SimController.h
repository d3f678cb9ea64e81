#pragma once
// One simulated controller: request content in, answer content out.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/ControllerState.h"
#include "sim/SimClock.h"
#include "sim/SimFamily.h"

class SimController {
public:
    explicit SimController(ControllerState state = {}, SimClockSource clock = HostClock());

    ControllerState State;

    int64_t NowMs() const { return clock_(); }
    uint32_t ClockUtc() const;
    void SetClockUtc(uint32_t utc);

    // True for the controller's own address and for devices it answers for (its boards).
    bool Serves(uint8_t address) const;

    // The answer to a request in the main framing, or nothing when the request is not
    // addressed to this controller (or the controller keeps silent).
    std::optional<SimAnswer> Handle(std::span<const uint8_t> request);

    // The answer characters (after the start byte) to a VRX 2.0 request addressed to this
    // controller; chars are the request characters after the address.
    std::optional<std::string> HandleVrx(std::string_view chars);

private:
    SimClockSource clock_;
};

// The first row of all families that handles rq, or nullptr.
const SimHandlerRow* FindHandler(const SimRequest& rq);
