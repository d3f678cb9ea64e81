#include "commands/MemoryCommands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <vector>

#include "engine/OperationPattern.h"
#include "link/CommandCodes.h"
#include "link/ExchangeLog.h"

namespace {

constexpr uint8_t kMemoryReadSub = 7;
constexpr uint32_t kReadTimeoutMs = 2000;
constexpr uint32_t kClearTimeoutMs = 1000;
constexpr int kPieceAt = 3;
constexpr int kRecordHeader = 7;     // u16 length, u32 ticks, u8 direction
constexpr unsigned kMaxRecordData = 128;
constexpr const char* kDumpFile = "VRX.log";

}  // namespace

std::vector<std::string> DecodeMemoryImage(std::span<const uint8_t> image) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::vector<std::string> lines;
    for (size_t p = 0; p + kRecordHeader <= image.size();) {
        const uint8_t* record = image.data() + p;
        const unsigned n = GetU16(record);
        if (n > kMaxRecordData || p + kRecordHeader + n > image.size()) break;
        // A controller tick is 20/9 ms.
        std::string line = std::to_string(uint64_t(GetU32(record + 2)) * 20 / 9);
        line += record[6] ? " Ans: " : " Req: ";
        for (unsigned i = 0; i < n; ++i) {
            const uint8_t b = record[kRecordHeader + i];
            line += kHex[b >> 4];
            line += kHex[b & 15];
            line += ' ';
        }
        line += "\r\n";
        lines.push_back(std::move(line));
        p += kRecordHeader + n;
    }
    return lines;
}

void ReadMemory(TComThread& w) {
    std::vector<uint8_t> image(kMemorySize);
    size_t read = 0;
    for (uint32_t offset = 0; offset < kMemorySize; offset += kMemoryPiece) {
        TRequest request{w.DeviceAddress, Cmd::Service, kMemoryReadSub, 0};
        PutU32(&request[4], offset);
        PutU16(&request[8], kMemoryPiece);
        const bool good = RunExchange(w, ReadMemory, request, 10,
            {.Status = &w.CommandStatusText, .TimeoutMs = kReadTimeoutMs, .Needed = kPieceAt + kMemoryPiece,
             .Describe = "Чтение памяти " + std::to_string(offset)},
            [&](const uint8_t* answer, int) {
                std::copy_n(answer + kPieceAt, kMemoryPiece, image.begin() + offset);
                read = offset + kMemoryPiece;
            },
            [&] { w.Ui.Main->ShowJobProgress(read, kMemorySize); });
        if (!good || w.Terminated()) break;
    }
    w.Synchronize([&w] { w.Ui.Main->ShowJobProgress(0, 0); });
    // The last dump stays until a new one is whole: nothing read (cable pulled) leaves it alone.
    // An empty memory read to its end is an empty dump.
    if (read == 0) return;
    const std::string fresh = std::string(kDumpFile) + ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        w.CommandStatusText += " Не могу записать " + fresh;
        w.ShowStatus();
        return;
    }
    ::close(fd);
    for (const std::string& line : DecodeMemoryImage({image.data(), read})) {
        cVRX_Logger entry(fresh);
        entry.Append(line);
    }
    if (std::rename(fresh.c_str(), kDumpFile) != 0) ::unlink(fresh.c_str());
}

void ClearMemory(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ClearMemory, 0, 0, 0, 0};
    RunExchange(w, ClearMemory, request, 6,
                {.Status = &w.CommandStatusText, .TimeoutMs = kClearTimeoutMs, .Describe = "Очистка памяти "});
}
