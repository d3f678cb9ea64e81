// ornix-tester: creates the main window and the dialog windows in their start-up order
// and runs the event loop.
#include <QApplication>
#include <QScreen>

#include "engine/ComThreadUnit.h"
#include "engine/LinkSetup.h"
#include "engine/UserFormats.h"
#include "ui/dialogs/FlowmeterUnit.h"
#include "ui/dialogs/FuelUnit.h"
#include "ui/dialogs/SdExplorerUnit.h"
#include "ui/dialogs/TRK_CfgUnit.h"
#include "ui/dialogs/Tablo.h"
#include "ui/dialogs/TestMcuPinsUnit.h"
#include "ui/dialogs/TestTabloManualUnit.h"
#include "ui/main/MainUnit.h"
#include "ui/main/SettingsFile.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The user's date, time and decimal formats are read once, before any worker starts.
    LoadUserFormatsFromSystem();

    TForm1 Form1(DefaultSettingsPath());
    TTRK_CfgForm TRK_CfgForm(&Form1);
    TTestTabloManualForm TestTabloManualForm(&Form1);
    TTestMcuPinsForm TestMcuPinsForm(&Form1);
    TSdCardExplorerForm SdCardExplorerForm(&Form1);
    TFuelForm FuelForm(&Form1);
    TFlowmeterForm FlowmeterForm(&Form1);
    TTabloForm TabloForm(&Form1);

    TViews views;
    views.Config = &TRK_CfgForm;
    views.Dose = &FuelForm;
    views.Flowmeter = &FlowmeterForm;
    views.Tablo = &TabloForm;
    views.TabloManualTest = &TestTabloManualForm;
    views.McuPinsTest = &TestMcuPinsForm;
    views.SdExplorer = &SdCardExplorerForm;
    Form1.AttachDialogs({&FuelForm, &TRK_CfgForm, &FlowmeterForm, &TabloForm, &TestTabloManualForm,
                         &TestMcuPinsForm, &SdCardExplorerForm},
                        views);
    // The poll cycle arrives later; until then a poll reads the controller's identity once.
    Form1.Jobs.Poll = &ReadDeviceInfo;
    Form1.Jobs.WriteBitRate = &WriteBitRate;
    Form1.Jobs.WriteBusAddress = &WriteBusAddress;

    QObject::connect(&Form1, &TForm1::Closed, &app, &QApplication::quit);
    if (const QScreen* screen = app.primaryScreen())
        Form1.move(screen->availableGeometry().center() - Form1.rect().center());
    Form1.show();
    const int rc = app.exec();
    // No worker may outlive the windows its display steps reach.
    TerminateWorkerAndWait([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
    return rc;
}
