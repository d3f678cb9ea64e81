#pragma once
// The processor pin test: faults in words and the package picture.
#include <functional>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"
#include "ui/dialogs/McuPinRules.h"
#include "ui/dialogs/ToolWindow.h"

class QListWidget;

class TTestMcuPinsForm : public ToolWindow, public IMcuPinsTestView {
    Q_OBJECT
public:
    explicit TTestMcuPinsForm(QWidget* parent = nullptr);

    // The start rule of the main window: hands the operation over or starts a worker for it.
    std::function<void(Op, const std::function<void(TComThread&)>&)> RunOperation;

    // IMcuPinsTestView
    void ShowPinTestResult(const std::array<uint8_t, kMcuPinCount>& result) override;

    // Handlers, named after the form's events.
    void FormActivate();
    void Evaluate();

    PinTestResult Result{};
    QListWidget* ErrorListBox = nullptr;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
