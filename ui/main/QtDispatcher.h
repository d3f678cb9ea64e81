#pragma once
// Runs a worker's display step on the Qt UI thread and blocks the worker until it has run.
#include "engine/Views.h"

class QtDispatcher final : public IUiDispatcher {
public:
    void Run(const std::function<void()>& step) override;
};
