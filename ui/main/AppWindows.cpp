#include "ui/main/AppWindows.h"

#include "commands/LinkSetup.h"
#include "commands/MemoryCommands.h"
#include "commands/PollCycle.h"
#include "commands/SellTest.h"
#include "commands/TabloTestCommands.h"
#include "ui/main/StartOptions.h"
#include "ui/main/Starters.h"
#include "link/ExchangeLog.h"

#include <QAction>
#include <QMetaObject>

TAppWindows::TAppWindows(const std::string& settingsPath)
    : Form1(settingsPath),
      SettingsActions({&Form1, [this](Op op, const std::function<void(TComThread&)>& stage) { Form1.RunOperation(op, stage); },
                       [this](const std::string& text) { Form1.ShowStandingMessage(text); },
                       [this](uint64_t done, uint64_t total) { Form1.ShowJobProgress(done, total); },
                       VersionLine("ornix-tester")},
                      SettingsDiffForm) {
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
    TRK_CfgForm.AttachViews(Form1.Views());
    Form1.Jobs.Poll = &PollCycle;
    Form1.Jobs.TabloTest = &StartTabloTest;
    AttachStarters(Form1, FlowmeterForm, TabloForm, TestTabloManualForm);
    Form1.Jobs.WriteBitRate = &WriteBitRate;
    Form1.Jobs.WriteBusAddress = &WriteBusAddress;
    Form1.Jobs.SellTest = &RunSellTest;
    Form1.Jobs.ReadMemory = &ReadMemory;
    Form1.Jobs.ClearMemory = &ClearMemory;
    const auto runOperation = [this](Op op, const std::function<void(TComThread&)>& stage) {
        Form1.RunOperation(op, stage);
    };
    TestMcuPinsForm.RunOperation = runOperation;
    SdCardExplorerForm.RunOperation = runOperation;
    FuelForm.Attach(Form1, runOperation, &TRK_CfgForm);
    // Said in the message panel, once; it comes from the worker's thread.
    SetExchangeLogProblemReport([form = &Form1](const std::string& text) {
        QMetaObject::invokeMethod(form, [form, text] { form->ShowStandingMessage(text); }, Qt::QueuedConnection);
    });
    QObject::connect(Form1.SaveSettingsAction, &QAction::triggered, &SettingsActions, &TSettingsActions::SaveSettingsClick);
    QObject::connect(Form1.CompareSettingsAction, &QAction::triggered, &SettingsActions,
                     &TSettingsActions::CompareSettingsClick);
    QObject::connect(Form1.RestoreSettingsAction, &QAction::triggered, &SettingsActions,
                     &TSettingsActions::RestoreSettingsClick);
    QObject::connect(Form1.ReportAction, &QAction::triggered, &SettingsActions, &TSettingsActions::ReportClick);
    QObject::connect(Form1.StopSettingsAction, &QAction::triggered, &SettingsActions, &TSettingsActions::StopClick);
    // The dialogs show the controller's channels as the main window counts them.
    const auto channels = [this](int count) {
        FuelForm.ShowChannelCount(count);
        FlowmeterForm.ShowChannelCount(count);
    };
    QObject::connect(&Form1, &TForm1::ChannelCountChanged, &FuelForm, channels);
    channels(Form1.ChannelColumnCount());
}

TAppWindows::~TAppWindows() {
    // No worker may outlive the windows its display steps reach.
    WaitForWorkerEnd();
    SetExchangeLogProblemReport({});
}
