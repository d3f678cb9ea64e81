#pragma once
// A serial line whose far end answers each request with the next scripted answer content,
// framed with its CRC as a controller would send it, and keeps the content of every
// request, so a test checks an operation's request bytes and feeds it any answer.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/ComThreadUnit.h"
#include "link/SerialLine.h"
#include "tests/support/RecordingViews.h"

class TScriptedLine : public SerialLine {
public:
    std::vector<std::vector<uint8_t>> Requests;  // contents without CRC, in order
    std::deque<std::vector<uint8_t>> Answers;    // contents still to be sent; none: silence
    // Consulted when no answer is scripted: the answer content to a request's content;
    // an empty one is silence.
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>& request)> Responder;

    // Scripts the next answer, written as hex ("01 D1 00 ...").
    void Answer(const std::string& hex);
    void Answer(std::vector<uint8_t> content) { Answers.push_back(std::move(content)); }
    std::string LastRequestHex() const;

    bool Open(const std::string&) override { return open_ = true; }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    void SetFormat(const LineFormat& format) override { bitRate_ = format.bitRate; }
    int BitRate() const override { return bitRate_; }
    bool ReadByte(uint8_t& byte, int timeoutMs) override;
    int Write(const uint8_t* data, int length, int timeoutMs) override;
    void Purge() override { pending_.clear(); }

private:
    std::deque<uint8_t> pending_;  // answer bytes not read yet
    std::vector<uint8_t> frame_;   // request bytes up to the terminator
    bool open_ = true;
    int bitRate_ = 9600;
};

// Puts a new scripted line under ComPort (which owns it) and returns it.
TScriptedLine& UseScriptedLine();

// A worker at bus address 1 whose display steps run inline into recording views, over a
// scripted line: everything one operation test needs.
struct TScriptedWorker {
    TRecordingViews Views;
    TScriptedLine& Line = UseScriptedLine();
    TComThread Worker{Views.Bundle()};

    TScriptedWorker() { Worker.DeviceAddress = 1; }
};
