#pragma once
// A worker that is never started, with recording views and a scripted line under ComPort,
// so a test calls an operation directly and checks its request bytes and what it showed.
#include <memory>
#include <string>

#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "tests/support/HexBytes.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/ScriptedLine.h"

struct ScriptedWorker {
    TRecordingViews Views;
    TScriptedLine& Line = UseScriptedLine();
    std::unique_ptr<TComThread> Worker;

    explicit ScriptedWorker(uint8_t address = 1) {
        Worker = std::make_unique<TComThread>(Views.Bundle());
        Worker->FreeOnTerminate = false;
        Worker->DeviceAddress = address;
        Worker->BitRate = 9600;
        ComPort.Error = 0;
        ComPort.ResultText.clear();
    }
    TComThread& operator*() { return *Worker; }
    TComThread* operator->() { return Worker.get(); }

    // Runs an operation against one scripted answer (hex content, "" for silence) and
    // returns the request it sent ("" when it sent none). A hand-over of it waiting first is
    // taken as the worker would take it, its staged values applied.
    std::string Run(Op op, const std::string& answerHex = "") {
        Line.Requests.clear();
        Line.Answers.clear();
        if (!answerHex.empty()) Line.Answer(answerHex);
        if (Worker->Pending() == op) Worker->TakeHandedOver();
        op(*Worker);
        return Line.LastRequestHex();
    }
};
