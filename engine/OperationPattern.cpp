#include "engine/OperationPattern.h"

#include <vector>

#include "engine/CommandCatalog.h"
#include "link/ComPortUnit.h"

namespace {

// Steps 1 and 3 to 8 of the pattern; `exchange` sends what `buffer` holds and receives into it.
bool RunPattern(TComThread& w, Op self, const uint8_t* buffer, int length, const TExchangeSpec& spec,
                const std::function<void()>& exchange, const Decode& decode, const Display& display) {
    w.ClearPendingIf(self);
    std::string& status = spec.Status ? *spec.Status : w.PollStatusText;
    status = (spec.Describe.empty() ? DescribeRequest(ComPort, buffer, length) : spec.Describe) + "...";
    if (spec.MarkSending) ComPort.Sending = true;
    w.ShowStatus();
    if (spec.TimeoutMs != TExchangeSpec::KeepTimeout) ComPort.SetReadTimeout(spec.TimeoutMs);
    exchange();
    bool decoded = false;
    const int code = ComPort.Error;
    if (code == 0 || (code > 0 && spec.DataDespite && spec.DataDespite(code))) {
        if (ComPort.AnswerLength >= spec.Needed) {
            if (decode) {
                // The decoder gets the answer alone, so that a read past its end is a read
                // past a buffer the sanitizers see, not a quiet read of the request's bytes.
                const std::vector<uint8_t> answer(buffer, buffer + ComPort.AnswerLength);
                decode(answer.data(), ComPort.AnswerLength);
            }
            if (display) w.Synchronize(display);
            decoded = true;
        } else {
            ComPort.ReportWrongLength(spec.Needed);
        }
    }
    status += ComPort.ResultText;
    w.ShowStatus();
    return decoded;
}

}  // namespace

bool RunExchange(TComThread& w, Op self, TRequest& request, int length, const TExchangeSpec& spec,
                 const Decode& decode, const Display& display) {
    return RunPattern(w, self, request.data(), length, spec,
                      [&] { ComPort.Exchange(request.data(), length); }, decode, display);
}

bool RunExchangeBuffer(TComThread& w, Op self, int length, const TExchangeSpec& spec,
                       const Decode& decode, const Display& display) {
    return RunPattern(w, self, ComPort.Buffer, length, spec,
                      [&] { ComPort.ExchangeBuffer(length); }, decode, display);
}
