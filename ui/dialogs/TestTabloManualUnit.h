#pragma once
// The manual display-board test: segments switched by hand and sent as test frames.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TTestTabloManualForm : public ToolWindow, public ITabloManualTestView {
    Q_OBJECT
public:
    explicit TTestTabloManualForm(QWidget* parent = nullptr);
};
