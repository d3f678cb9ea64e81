#include "commands/ClockCheck.h"

#include <ctime>

ClockCheckMemory ClockCheckHistory;

namespace {

constexpr int64_t SecondsPerQuarterHour = 900;
constexpr int64_t SecondsPerHour = 3600;
constexpr int TimeZoneItems = 13;   // whole hours 0..+12
constexpr int SummerModeItems = 3;
// 2000-01-01 00:00:00 UTC as a Unix time.
constexpr int64_t Epoch2000 = 946684800;

class SystemPcClock final : public PcClock {
public:
    uint32_t LocalSeconds() override {
        time_t now = time(nullptr);
        struct tm local {};
        localtime_r(&now, &local);
        return static_cast<uint32_t>(static_cast<int64_t>(now) + local.tm_gmtoff - Epoch2000);
    }
    uint32_t UtcSeconds() override { return static_cast<uint32_t>(static_cast<int64_t>(time(nullptr)) - Epoch2000); }
    int ZoneHours() override {
        tzset();
        return ZoneHoursFromBias(timezone);
    }
};

SystemPcClock systemClock;
PcClock* installedClock = nullptr;

}  // namespace

uint32_t ControllerLocalTime(uint32_t utc, int8_t zoneQuarters, uint8_t summerMode) {
    // 32-bit wrap-around is what the controller itself does with these values.
    uint32_t local = utc + static_cast<uint32_t>(zoneQuarters * SecondsPerQuarterHour);
    if (summerMode == 2) local += SecondsPerHour;
    return local;
}

int TimeZoneItem(int8_t zoneQuarters) {
    int item = zoneQuarters / 4;  // truncation: +3:30 still selects +3
    return item >= 0 && item < TimeZoneItems ? item : -1;
}

int SummerModeItem(uint8_t summerMode) {
    return summerMode < SummerModeItems ? summerMode : -1;
}

int CheckControllerClock(ClockCheckMemory& memory, int pcZoneHours, uint32_t pcTime,
                         int8_t zoneQuarters, uint32_t controllerLocal, int previousCode) {
    if (pcZoneHours != zoneQuarters / 4) return TimeZoneDiffers;

    // Signed difference, so a PC time near either end of the range cannot wrap.
    int64_t difference = static_cast<int64_t>(controllerLocal) - static_cast<int64_t>(pcTime);
    if (difference < -static_cast<int64_t>(ClockTolerance) ||
        difference > static_cast<int64_t>(ClockTolerance))
        return TimeDiffers;

    if (static_cast<uint64_t>(memory.lastCheckPcTime) + ClockCheckInterval >= pcTime)
        return previousCode;

    memory.lastCheckPcTime = pcTime;
    int code = controllerLocal == memory.lastControllerLocal ? ClockStands : TimeOk;
    memory.lastControllerLocal = controllerLocal;
    return code;
}

int ZoneHoursFromBias(long secondsWest) {
    long hours = -secondsWest / SecondsPerHour;
    return hours < 0 || hours > 12 ? 0 : static_cast<int>(hours);
}

PcClock& CurrentPcClock() {
    return installedClock ? *installedClock : systemClock;
}

void SetPcClock(PcClock* clock) {
    installedClock = clock;
}
