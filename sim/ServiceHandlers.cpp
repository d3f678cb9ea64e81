// Service functions: processor pin self-test (228/5), SD card listing (228/6) and file reads
// (228/8), the frame memory (228/7) and its clearing (141).
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "link/CommandCodes.h"
#include "link/Cp1251.h"
#include "sim/Families.h"
#include "sim/SimController.h"

namespace {

constexpr uint8_t kResultSdCard = 193;
constexpr uint8_t kFileEntryType = 1;
constexpr size_t kListingCapacity = 256;  // the tool's listing buffer holds one answer of this size
constexpr uint32_t kSizeQuery = 0xFFFFFFFF;
constexpr uint16_t kChunkMax = 768;
constexpr size_t kMaxRecordData = 128;

void PinTest(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 3)) return;
    a.Append(c.State.Service.PinResult);
}

bool SdUsable(const SimController& c, SimAnswer& a) {
    if (!c.State.Service.SdFault) return true;
    a.Result(kResultSdCard);
    return false;
}

// Only as many entries as one answer holds; the count says how many were sent.
void ListRoot(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 6) || !SdUsable(c, a)) return;
    std::vector<uint8_t> entries;
    uint16_t count = 0;
    const size_t room = kListingCapacity - a.Bytes.size() - 2;
    for (const SimSdFile& f : c.State.Service.SdFiles) {
        if (entries.size() + f.Name.size() + 2 > room) break;
        entries.push_back(kFileEntryType);
        entries.insert(entries.end(), f.Name.begin(), f.Name.end());
        entries.push_back(0);
        ++count;
    }
    a.U16(count).Append(entries);
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::toupper(uint8_t(x)) == std::toupper(uint8_t(y)); });
}

void ReadFile(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireMinLength(rq, a, 10) || !SdUsable(c, a)) return;
    const auto pathBegin = rq.Bytes.begin() + 9;
    const auto pathEnd = std::find(pathBegin, rq.Bytes.end(), uint8_t(0));
    if (pathEnd == rq.Bytes.end()) {
        a.Result(kResultInvalidData);
        return;
    }
    const std::string_view path(reinterpret_cast<const char*>(&*pathBegin), size_t(pathEnd - pathBegin));
    const auto& files = c.State.Service.SdFiles;
    const auto file = std::find_if(files.begin(), files.end(), [&](const SimSdFile& f) { return SameName(f.Name, path); });
    if (file == files.end()) {
        a.Result(kResultSdCard);
        return;
    }
    const uint32_t offset = rq.U32(3);
    const auto size = uint32_t(file->Data.size());
    if (offset == kSizeQuery) {
        a.U32(size + file->Missing);
        return;
    }
    const uint32_t length = offset >= size ? 0 : std::min<uint32_t>({rq.U16(7), kChunkMax, size - offset});
    a.U32(offset).U16(uint16_t(length)).Append(std::span(file->Data).subspan(offset < size ? offset : size, length));
}

void ReadMemory(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 10)) return;
    const uint32_t offset = rq.U32(4);
    const uint16_t length = rq.U16(8);
    const auto& memory = c.State.Service.Memory.Bytes;
    if (length > kMaxRecordData || offset > memory.size() || memory.size() - offset < length) {
        a.Result(kResultInvalidData);
        return;
    }
    a.Append(std::span(memory).subspan(offset, length));
}

void ClearMemory(SimController& c, const SimRequest& rq, SimAnswer& a) {
    if (!RequireLength(rq, a, 6)) return;
    c.State.Service.Memory = SimFrameMemory{};
}

constexpr SimHandlerRow kRows[] = {
    {Cmd::Service, 5, PinTest},
    {Cmd::Service, 6, ListRoot},
    {Cmd::Service, 7, ReadMemory},
    {Cmd::Service, 8, ReadFile},
    {Cmd::ClearMemory, kAnySubCode, ClearMemory},
};

// "I=V": test index 0..75 shorted to pin V (0..75), "gnd" or "3v".
bool ParsePinShort(SimConfig& config, std::string_view v, std::string& e) {
    const size_t eq = v.find('=');
    if (eq == std::string_view::npos) {
        e = "expected INDEX=PIN|gnd|3v, got '" + std::string(v) + "'";
        return false;
    }
    long long index = 0, value = 0;
    if (!ParseOptionNumber(v.substr(0, eq), 0, kSimPinCount - 1, index, e)) return false;
    const std::string_view to = v.substr(eq + 1);
    if (to == "gnd") value = kSimPinToGround;
    else if (to == "3v") value = kSimPinToSupply;
    else if (!ParseOptionNumber(to, 0, 255, value, e)) return false;
    config.Controller.Service.PinResult[size_t(index)] = uint8_t(value);
    return true;
}

bool AddSdFile(SimConfig& config, std::string_view v, std::string& e) {
    std::ifstream in{std::string(v), std::ios::binary};
    if (!in) {
        e = "cannot read '" + std::string(v) + "'";
        return false;
    }
    SimService& s = config.Controller.Service;
    if (!s.SdFilesGiven) s.SdFiles.clear();
    s.SdFilesGiven = true;
    const size_t slash = v.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? v : v.substr(slash + 1);
    s.SdFiles.push_back({Utf8ToCp1251(name), {std::istreambuf_iterator<char>(in), {}}});
    return true;
}

constexpr SimOptionRow kOptions[] = {
    {"--pin-short", "I=V", "pin self-test finds test index I (0..75) shorted to index V, to gnd or to 3v; repeatable",
     ParsePinShort},
    {"--sd-file", "PATH", "put this file into the SD card's root (the first replaces the built-in files); repeatable",
     AddSdFile},
    {"--sd-empty", nullptr, "the SD card holds no files",
     [](SimConfig& c, std::string_view, std::string&) {
         c.Controller.Service.SdFiles.clear();
         return c.Controller.Service.SdFilesGiven = true;
     }},
    {"--sd-fault", nullptr, "every SD card request answers result 193 (SD card error)",
     [](SimConfig& c, std::string_view, std::string&) { return c.Controller.Service.SdFault = true; }},
};

void PutRecord(SimFrameMemory& m, uint32_t ticks, uint8_t direction, const std::vector<uint8_t>& frame) {
    const size_t n = std::min(frame.size(), kMaxRecordData);
    if (m.Full || m.Used + 7 + n > m.Bytes.size()) {
        m.Full = true;
        return;
    }
    uint8_t* p = m.Bytes.data() + m.Used;
    p[0] = uint8_t(n);
    p[1] = uint8_t(n >> 8);
    for (int i = 0; i < 4; ++i) p[2 + i] = uint8_t(ticks >> (8 * i));
    p[6] = direction;
    std::copy_n(frame.begin(), n, p + 7);
    m.Used += 7 + n;
}

std::string Text(const char* utf8) { return Utf8ToCp1251(utf8); }
std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

std::vector<SimSdFile> BuiltInSdFiles() {
    std::string events;
    for (int i = 0; i < 40; ++i) {
        const int day = i % 28 + 1;
        events += "2024-05-" + std::string(day < 10 ? "0" : "") + std::to_string(day) +
                  Text(" 08:15:00 Канал ") + std::to_string(i % 5 + 1) + Text(": налив 10,00 л\r\n");
    }
    return {
        {"README.TXT", Bytes(Text("Контроллер ТРК Ornix\r\nКарта памяти: журнал событий и настройки.\r\n"))},
        {"EVENTS.LOG", Bytes(events)},
        {"CONFIG.INI", Bytes("[Channels]\r\nCount=5\r\n[Display]\r\nNightBright=30\r\n")},
    };
}

void RecordFrames(SimFrameMemory& m, int64_t nowMs, const std::vector<uint8_t>& request,
                  const std::vector<uint8_t>& answer) {
    const auto ticks = uint32_t(nowMs * 9 / 20);
    PutRecord(m, ticks, 0, request);
    PutRecord(m, ticks, 1, answer);
}

const SimFamily ServiceFamily{"service", kRows, kOptions};
