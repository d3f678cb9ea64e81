#pragma once
// The application's eight windows, created in their start-up order (member order) and wired
// together: the main window first, then the dialogs, which stay hidden until opened.
#include <string>

#include "ui/dialogs/FlowmeterUnit.h"
#include "ui/dialogs/FuelUnit.h"
#include "ui/dialogs/SdExplorerUnit.h"
#include "ui/dialogs/SettingsDiffUnit.h"
#include "ui/dialogs/TRK_CfgUnit.h"
#include "ui/dialogs/Tablo.h"
#include "ui/dialogs/TestMcuPinsUnit.h"
#include "ui/dialogs/TestTabloManualUnit.h"
#include "ui/main/MainUnit.h"
#include "ui/main/SettingsActions.h"

class TAppWindows {
public:
    explicit TAppWindows(const std::string& settingsPath);
    ~TAppWindows();

    TForm1 Form1;
    TTRK_CfgForm TRK_CfgForm{&Form1};
    TTestTabloManualForm TestTabloManualForm{&Form1};
    TTestMcuPinsForm TestMcuPinsForm{&Form1};
    TSdCardExplorerForm SdCardExplorerForm{&Form1};
    TFuelForm FuelForm{&Form1};
    TFlowmeterForm FlowmeterForm{&Form1};
    TTabloForm TabloForm{&Form1};
    // The settings entries of the "Сервис" menu and the window that compares and restores.
    TSettingsDiffForm SettingsDiffForm{&Form1};
    TSettingsActions SettingsActions;
};
