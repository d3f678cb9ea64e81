#pragma once
// The flowmeter window: one column per flowmeter, three settings edited in place.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TFlowmeterForm : public ToolWindow, public IFlowmeterView {
    Q_OBJECT
public:
    explicit TFlowmeterForm(QWidget* parent = nullptr);
};
