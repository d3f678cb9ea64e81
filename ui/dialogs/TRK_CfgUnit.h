#pragma once
// The configuration window: channel, hose, clock, protocol and service settings.
#include <string>

#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TTRK_CfgForm : public ToolWindow, public IConfigView {
    Q_OBJECT
public:
    explicit TTRK_CfgForm(QWidget* parent = nullptr);

    void SetTimeButtonsEnabled(bool enabled) override { TimeButtonsEnabled = enabled; }
    void SetFindNetAddrButtonCaption(const std::string& caption) override { FindNetAddrCaption = caption; }
    void SetProtocolComboIndex(int index) override { ProtocolComboIndex = index; }
    void SetProtocolComboEnabled(bool enabled) override { ProtocolComboEnabled = enabled; }

    // What the worker last set, until the controls of this window exist.
    bool TimeButtonsEnabled = true;
    std::string FindNetAddrCaption = "Начать";
    int ProtocolComboIndex = -1;
    bool ProtocolComboEnabled = true;
};
