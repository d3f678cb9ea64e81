#include "commands/TimeCommands.h"

#include "commands/ClockCheck.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"

namespace {

enum Command : uint8_t { CmdReadTime = 8, CmdWriteTime = 9, CmdWriteTimeZone = 10 };

constexpr int TimeAnswer = 9;
// The VRX 2.0 link runs at this rate and has no clock commands.
constexpr int32_t VrxBitRate = 4800;

}  // namespace

void ShowControllerClock(IConfigView& view, uint32_t utc, int8_t zoneQuarters, uint8_t summerMode) {
    view.SetCurTimeUTCText(DateTimeText(utc));
    view.SetCurTimeLocalText(DateTimeText(ControllerLocalTime(utc, zoneQuarters, summerMode)));
    view.SetTimeZoneIndex(TimeZoneItem(zoneQuarters));
    view.SetTimeShiftIndex(SummerModeItem(summerMode));
}

void ReadTime(TComThread& w) {
    w.ClearPendingIf(ReadTime);
    if (w.BitRate == VrxBitRate) return;

    TRequest request{w.DeviceAddress, CmdReadTime};
    bool accepted = false;
    RunExchange(w, ReadTime, request, 2, {.Status = &w.PollStatusText, .Needed = TimeAnswer},
        [&](const uint8_t* answer, int length) {
            // A longer answer is as suspect as a shorter one: the layout is fixed.
            if (length != TimeAnswer) {
                ComPort.ReportWrongLength(TimeAnswer);
                return;
            }
            w.UtcTime = GetU32(answer + 3);
            w.TimeZone = static_cast<int8_t>(answer[7]);
            w.SummerTimeMode = answer[8];
            accepted = true;
        },
        [&] {
            if (!accepted) return;
            // The user may be typing a time to write: leave the group alone then.
            if (!w.Ui.Config->CurTimeUTCEditActive())
                ShowControllerClock(*w.Ui.Config, w.UtcTime, w.TimeZone, w.SummerTimeMode);
            PcClock& pc = CurrentPcClock();
            int& code = w.Ui.Main->State().TimeErrCode;
            code = CheckControllerClock(ClockCheckHistory, pc.ZoneHours(), pc.LocalSeconds(), w.TimeZone,
                                        ControllerLocalTime(w.UtcTime, w.TimeZone, w.SummerTimeMode), code);
        });
}

void WriteTime(TComThread& w) {
    TRequest request{w.DeviceAddress, CmdWriteTime};
    PutU32(&request[2], w.UtcTime);
    RunExchange(w, WriteTime, request, 6, {.Status = &w.CommandStatusText});
}

void WriteTimeZone(TComThread& w) {
    TRequest request{w.DeviceAddress, CmdWriteTimeZone, static_cast<uint8_t>(w.TimeZone), w.SummerTimeMode};
    RunExchange(w, WriteTimeZone, request, 4, {.Status = &w.CommandStatusText});
}
