#pragma once
// The one shape of every single-exchange operation: announce the request's description with "...", exchange, decode and display
// only a good answer that is long enough, then append the result text.
//
// How an operation is written (the request is built by the caller, byte 0 is
// the bus address; decode runs on the worker, display on the UI thread and
// reads only what decode stored in the worker):
//
//   void ReadTabloCutOff(TComThread& w) {
//       TRequest request{w.DeviceAddress, 217};
//       RunExchange(w, ReadTabloCutOff, request, 2,
//           {.Status = &w.PollStatusText, .Needed = 5},
//           [&](const uint8_t* answer, int) {
//               w.TabloCutOff = answer[3] | answer[4] << 8;
//               w.TabloCutOffRead = 1;
//           },
//           [&] { w.Ui.Main->SetTrkStatus(10, 0, std::to_string(w.TabloCutOff)); });
//   }
//
// `Needed` is the shortest answer content (address, echo, result code, data)
// the decoder may read: shorter answers get the wrong-length text instead, so
// decode never reads past `length`. Bytes beyond `Needed` are checked by the
// decoder itself against `length`.
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "engine/ComThreadUnit.h"

// Request and answer share one buffer; an answer may fill all 256 bytes.
using TRequest = std::array<uint8_t, 256>;

using Decode = std::function<void(const uint8_t* answer, int length)>;
using Display = std::function<void()>;

struct TExchangeSettings {
    static constexpr uint32_t KeepTimeout = std::numeric_limits<uint32_t>::max();

    std::string* Status = nullptr;  // &w.CommandStatusText; nullptr means &w.PollStatusText
    uint32_t TimeoutMs = 500;       // KeepTimeout: use the read time-out in force
    int Needed = 3;                 // shortest acceptable answer content
    bool MarkSending = true;        // false: the "..." announcement is never dropped
    std::string Describe{};         // empty: the command catalog describes the request
    // Controller result codes that only report a condition: the answer still carries its
    // data, so it is length-checked and decoded like a success (the status keeps the text).
    bool (*DataDespite)(int resultCode) = nullptr;
};

// Returns true when the answer was good and decoded. `self` only names the operation whose
// exchange this is: the worker takes an operation off its queue before it runs.
bool RunExchange(TComThread& w, Op self, TRequest& request, int length, const TExchangeSettings& settings,
                 const Decode& decode = {}, const Display& display = {});

// The same with ComPort.Buffer holding the request (answers up to 1024 bytes).
bool RunExchangeBuffer(TComThread& w, Op self, int length, const TExchangeSettings& settings,
                       const Decode& decode = {}, const Display& display = {});

// An operation whose index names no entry of the tables sends nothing. True when it was refused.
bool RefuseOutOfRange(TComThread& w, Op self, int index, int count);

// Little-endian readers for decoders; the caller has checked the length.
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t GetU64(const uint8_t* p) { return uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32; }
inline void PutU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
