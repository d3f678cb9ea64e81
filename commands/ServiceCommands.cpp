#include "commands/ServiceCommands.h"

#include <algorithm>
#include <cstring>

#include "engine/OperationPattern.h"
#include "link/ComPortUnit.h"
#include "link/CommandCodes.h"
#include "link/Cp1251.h"
#include "link/FrameCodec.h"

namespace {

enum ServiceSub : uint8_t { kPinTest = 5, kSdListing = 6, kSdFileRead = 8 };

constexpr uint32_t kPinTestTimeoutMs = 1000;
constexpr uint32_t kSdTimeoutMs = 2000;
constexpr int kPinResultAt = 3;
constexpr int kPinAnswerLength = kPinResultAt + 76;  // address, echo, result code, 76 pins
constexpr int kListingCountAt = 3;
constexpr int kListingEntriesAt = 5;
constexpr uint32_t kSizeQueryOffset = 0xFFFFFFFF;
constexpr int kSizeAnswerLength = 7;                  // the size is a u32 at bytes 3..6
constexpr int kChunkDataAt = 9;
constexpr int kFileRequestFixed = 10;                 // address .. length, and the path's zero byte

// Builds a file request in the port's buffer (chunks do not fit the 256-byte caller buffer)
// and returns its length; 0 when the path would not fit into one request.
int BuildFileRequest(TComThread& w, uint32_t offset, uint16_t length, const std::string& path) {
    const int total = int(path.size()) + kFileRequestFixed;
    if (total > kMaxRequestContent) return 0;
    uint8_t* r = ComPort.Buffer;
    r[0] = w.DeviceAddress;
    r[1] = Cmd::Service;
    r[2] = kSdFileRead;
    PutU32(r + 3, offset);
    PutU16(r + 7, length);
    std::memcpy(r + 9, path.data(), path.size());
    r[9 + path.size()] = 0;
    return total;
}

}  // namespace

std::vector<std::string> ParseSdListing(std::span<const uint8_t> answer) {
    std::vector<std::string> names;
    if (answer.size() < kListingEntriesAt) return names;
    const unsigned count = GetU16(answer.data() + kListingCountAt);
    size_t at = kListingEntriesAt;
    for (unsigned i = 0; i < count; ++i) {
        const size_t nameAt = at + 1;  // after the entry's type byte
        if (nameAt >= answer.size()) break;
        const auto end = std::find(answer.begin() + long(nameAt), answer.end(), uint8_t(0));
        if (end == answer.end()) break;
        names.push_back(Cp1251ToUtf8({reinterpret_cast<const char*>(answer.data() + nameAt),
                                      size_t(end - answer.begin()) - nameAt}));
        at = size_t(end - answer.begin()) + 1;
    }
    return names;
}

std::string SdChunkText(std::span<const uint8_t> data) {
    const auto end = std::find(data.begin(), data.end(), uint8_t(0));
    return Cp1251ToUtf8({reinterpret_cast<const char*>(data.data()), size_t(end - data.begin())});
}

void TestMcuPins(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::Service, kPinTest};
    bool complete = false;
    RunExchange(w, TestMcuPins, request, 3, {.Status = &w.CommandStatusText, .TimeoutMs = kPinTestTimeoutMs},
        [&](const uint8_t* answer, int length) {
            complete = length >= kPinAnswerLength;
            if (complete) std::copy_n(answer + kPinResultAt, kMcuPinCount, w.McuPinResult.begin());
        },
        [&] {
            if (complete) w.Ui.McuPinsTest->ShowPinTestResult(w.McuPinResult);
        });
    if (ComPort.Error == 0 && !complete) {
        w.PollStatusText += "Неверная длина ответа";
        w.ShowStatus();
    }
}

void ReadSdCardDirectory(TComThread& w) {
    // Another listing already waits: one is enough.
    if (w.Waiting(ReadSdCardDirectory)) return;
    // The root: selector 0 and an empty path.
    w.SdListing = {w.DeviceAddress, Cmd::Service, kSdListing, 0, 0, 0};
    RunExchange(w, ReadSdCardDirectory, w.SdListing, 6, {.Status = &w.CommandStatusText, .TimeoutMs = kSdTimeoutMs},
        [&](const uint8_t*, int length) { w.SdListingLength = length; },
        [&] {
            w.Ui.SdExplorer->ShowSdEntries(
                ParseSdListing({w.SdListing.data(), size_t(std::clamp(w.SdListingLength, 0, kSdListingSize))}));
        });
}

namespace {

// Takes the progress bar of a file read away again, however the read ends.
struct ProgressShown {
    TComThread& w;
    ~ProgressShown() { w.Synchronize([this] { w.Ui.Main->ShowJobProgress(0, 0); }); }
};

}  // namespace

void ReadSdCardFile(TComThread& w) {
    // The engineer chose another file meanwhile: only the last choice is read.
    if (w.Waiting(ReadSdCardFile)) return;
    const ProgressShown progress{w};
    const std::string path = Utf8ToCp1251(w.SdFilePath);
    const TExchangeSettings settings{.Status = &w.CommandStatusText, .TimeoutMs = kSdTimeoutMs};

    uint32_t size = 0;
    TExchangeSettings sizeQuery = settings;
    sizeQuery.Needed = kSizeAnswerLength;
    int length = BuildFileRequest(w, kSizeQueryOffset, 0, path);
    if (length == 0 ||
        !RunExchangeBuffer(w, ReadSdCardFile, length, sizeQuery,
                           [&](const uint8_t* answer, int) { size = GetU32(answer + 3); },
                           [&] { w.Ui.SdExplorer->StartSdFile(size); }))
        return;

    // 64 bits: a controller handing out more than it was asked for must not wrap the offset.
    for (uint64_t offset = 0; offset < size;) {
        const auto chunk = uint16_t(std::min<uint64_t>(size - offset, kSdChunkMax));
        int carried = 0;
        std::string text;
        length = BuildFileRequest(w, uint32_t(offset), chunk, path);
        if (!RunExchangeBuffer(w, ReadSdCardFile, length, settings,
                [&](const uint8_t* answer, int answerLength) {
                    carried = std::max(answerLength - kChunkDataAt, 0);
                    if (carried > 0) text = SdChunkText({answer + kChunkDataAt, size_t(carried)});
                },
                [&] {
                    const auto received = uint32_t(std::min<uint64_t>(offset + uint64_t(carried), size));
                    if (carried > 0) w.Ui.SdExplorer->AppendSdFileChunk(text, carried, received);
                    w.Ui.Main->ShowJobProgress(received, size);
                }))
            return;
        if (carried == 0) return;
        offset += uint64_t(carried);
        // A file of 64 KB takes over a minute at 9600 bit/s: closing the tool must not wait for
        // it, nor must the next file chosen.
        if (w.ShouldStop() || w.Waiting(ReadSdCardFile)) return;
    }
}
