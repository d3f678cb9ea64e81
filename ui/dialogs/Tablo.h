#pragma once
// The display-board window: state of the four boards and two keyboards.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TTabloForm : public ToolWindow, public ITabloView {
    Q_OBJECT
public:
    explicit TTabloForm(QWidget* parent = nullptr);
};
