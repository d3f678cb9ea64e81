#pragma once
// The dose window: loads, starts and stops doses per channel.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TFuelForm : public ToolWindow, public IDoseView {
    Q_OBJECT
public:
    explicit TFuelForm(QWidget* parent = nullptr);
};
