#include "engine/OperationPattern.h"

#include <vector>

#include "engine/CommandCatalog.h"
#include "link/ComPortUnit.h"

namespace {

// The pattern; `exchange` sends what `buffer` holds and receives into it.
bool RunPattern(TComThread& w, const uint8_t* buffer, int length, const TExchangeSettings& settings,
                const std::function<void()>& exchange, const Decode& decode, const Display& display) {
    std::string& status = settings.Status ? *settings.Status : w.PollStatusText;
    status = (settings.Describe.empty() ? DescribeRequest(ComPort, buffer, length) : settings.Describe) + "...";
    if (settings.MarkSending) ComPort.Sending = true;
    w.ShowStatus();
    if (settings.TimeoutMs != TExchangeSettings::KeepTimeout) ComPort.SetReadTimeout(settings.TimeoutMs);
    exchange();
    bool decoded = false;
    const int code = ComPort.Error;
    if (code == 0 || (code > 0 && settings.DataDespite && settings.DataDespite(code))) {
        if (ComPort.AnswerLength >= settings.Needed) {
            if (decode) {
                // The decoder gets the answer alone, so that a read past its end is a read
                // past a buffer the sanitizers see, not a quiet read of the request's bytes.
                const std::vector<uint8_t> answer(buffer, buffer + ComPort.AnswerLength);
                decode(answer.data(), ComPort.AnswerLength);
            }
            if (display) w.Synchronize(display);
            decoded = true;
        } else {
            ComPort.ReportWrongLength(settings.Needed);
        }
    }
    status += ComPort.ResultText;
    w.ShowStatus();
    return decoded;
}

}  // namespace

bool RunExchange(TComThread& w, Op, TRequest& request, int length, const TExchangeSettings& settings,
                 const Decode& decode, const Display& display) {
    return RunPattern(w, request.data(), length, settings,
                      [&] { ComPort.Exchange(request.data(), length); }, decode, display);
}

bool RunExchangeBuffer(TComThread& w, Op, int length, const TExchangeSettings& settings,
                       const Decode& decode, const Display& display) {
    return RunPattern(w, ComPort.Buffer, length, settings,
                      [&] { ComPort.ExchangeBuffer(length); }, decode, display);
}

bool RefuseOutOfRange(TComThread&, Op, int index, int count) { return index < 0 || index >= count; }
