#pragma once
// The progress bar beside the status panels while a long read runs (memory dump, SD file):
// how far it is and, once a little of it has run, the time left at the pace so far.
#include <cstdint>
#include <string>

// "37 %" at first, "37 %, осталось 1:12" once there is a pace to go by; empty for no total.
std::string JobProgressText(uint64_t done, uint64_t total, uint64_t elapsedMs);
