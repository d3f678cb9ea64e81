#include "tests/support/ScriptedLine.h"

#include <memory>

#include "link/ComPortUnit.h"
#include "link/FrameCodec.h"
#include "tests/support/HexBytes.h"
#include "tests/support/RequestContent.h"

void TScriptedLine::Answer(const std::string& hex) { Answers.push_back(FromHex(hex)); }

std::string TScriptedLine::LastRequestHex() const { return Requests.empty() ? "" : ToHex(Requests.back()); }

bool TScriptedLine::ReadByte(uint8_t& byte, int) {
    // Nothing scripted is silence: the port's time-out passes at once.
    if (pending_.empty()) return false;
    byte = pending_.front();
    pending_.pop_front();
    return true;
}

int TScriptedLine::Write(const uint8_t* data, int length, int) {
    for (int i = 0; i < length; ++i) {
        frame_.push_back(data[i]);
        if (data[i] != kFrameEnd) continue;
        Requests.push_back(RequestContent(frame_.data(), frame_.size()));
        frame_.clear();
        std::vector<uint8_t> answer;
        if (!Answers.empty()) {
            answer = std::move(Answers.front());
            Answers.pop_front();
        } else if (!Responder || (answer = Responder(Requests.back())).empty()) {
            continue;
        }
        auto frame = BuildFrame(answer);
        pending_.insert(pending_.end(), frame.begin(), frame.end());
    }
    return length;
}

TScriptedLine& UseScriptedLine() {
    auto line = std::make_unique<TScriptedLine>();
    TScriptedLine& ref = *line;
    ComPort.SetLine(std::move(line));
    return ref;
}
