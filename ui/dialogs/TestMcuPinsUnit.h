#pragma once
// The processor pin test: faults in words and the package picture.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TTestMcuPinsForm : public ToolWindow, public IMcuPinsTestView {
    Q_OBJECT
public:
    explicit TTestMcuPinsForm(QWidget* parent = nullptr);
};
