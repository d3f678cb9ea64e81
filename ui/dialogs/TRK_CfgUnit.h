#pragma once
// The configuration window: channel, hose and power-output layout, clock, display-board
// brightness, host protocol, bus search, remote initialisation and sub-controllers. It owns
// no device state: every button stages its values into the worker and hands its operation
// over; the rules it applies live in CfgRules.
#include <array>
#include <functional>
#include <string>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TTRK_CfgForm : public ToolWindow, public IConfigView {
    Q_OBJECT
public:
    explicit TTRK_CfgForm(QWidget* parent = nullptr);

    // The views every worker reaches; the window reads the main window's link settings and
    // status bar through them and starts its operations with them.
    void AttachViews(const TViews& views) { views_ = views; }

    // IConfigView
    void SetTimeButtonsEnabled(bool enabled) override;
    void SetFindNetAddrButtonCaption(const std::string& caption) override;
    void SetProtocolComboIndex(int index) override;
    void SetProtocolComboEnabled(bool enabled) override;
    void ShowTrkCfg(const TrkCfgControls& controls) override;
    void SetTrkCfgWriteButtonEnabled(bool enabled) override;
    void ShowSubTrkCfg(const SubTrkCfgTexts& texts) override;
    bool KazakhPriceChecked() override;
    bool CurTimeUTCEditActive() override;
    void SetCurTimeUTCText(const std::string& text) override;
    void SetCurTimeLocalText(const std::string& text) override;
    void SetTimeZoneIndex(int item) override;
    void SetTimeShiftIndex(int item) override;
    void SetNightBrightText(const std::string& text) override;
    void SetIllum1Text(const std::string& text) override;
    void SetIllum2Text(const std::string& text) override;
    void AppendFoundLine(const std::string& line) override;
    void SetSecReqCodeText(const std::string& text) override;

    // What the configuration controls show now.
    TrkCfgControls CurrentControls() const;

    // Handlers, named after control and event.
    void TRK_CfgWriteButtonClick();
    void WriteProtocolTypeButtonClick();
    void WriteTimeCfgButtonClick();
    void WriteTimeButtonClick();
    void GetTimeFromSystemButtonClick();
    void NightBrightWriteButtonClick();
    void FindNetAddrButtonClick();
    void GetSecReqCodeButtonClick();
    void SendSecOpCodeButtonClick();
    void SecOpCodeEditChange();
    void WriteSubTrkCfgButtonClick();
    void LayoutChange();  // any combo of the channel, hose and power-output layout
    void FormActivate();

    // Controls keep their form names (also as objectName); arrays by channel and board.
    QGroupBox* TRK_CfgGroup = nullptr;
    QPushButton* TRK_CfgWriteButton = nullptr;
    QCheckBox* WaitNozzleFreeCheckBox = nullptr;
    QCheckBox* DontShowTotalsCheckBox = nullptr;
    QCheckBox* DoseAccuracyCheckBox = nullptr;
    QCheckBox* KazakhPriceCheckBox = nullptr;
    QCheckBox* VrxOverflowCheckBox = nullptr;
    QCheckBox* InvAvarBtn1CheckBox = nullptr;
    QCheckBox* InvAvarBtn2CheckBox = nullptr;
    QComboBox* NumberOfChannelsCombo = nullptr;
    std::array<QComboBox*, CfgChannels> HoseCombo{};
    std::array<std::array<QCheckBox*, CfgBoards>, CfgChannels> BoardCheckBox{};
    std::array<QComboBox*, CfgChannels> PumpOutCombo{}, LargeValveCombo{}, SmallValveCombo{};
    std::array<QCheckBox*, CfgChannels> InvNozzleCheckBox{}, TrigNozzleCheckBox{};
    std::array<QComboBox*, CfgChannels> ValveCombo{}, PumpCombo{}, NozzleCombo{}, FlowmeterCombo{};

    QComboBox* ProtocolCombo = nullptr;
    QPushButton* WriteProtocolTypeButton = nullptr;

    QGroupBox* TimeGroup = nullptr;
    QLabel* CurTimeUTCLabel = nullptr;
    QLineEdit* CurTimeUTCEdit = nullptr;
    QLabel* CurTimeLocalLabel = nullptr;
    QLineEdit* CurTimeLocalEdit = nullptr;
    QLabel* TimeZoneLabel = nullptr;
    QComboBox* TimeZoneCombo = nullptr;
    QLabel* TimeShiftLabel = nullptr;
    QComboBox* TimeShiftCombo = nullptr;
    QPushButton* GetTimeFromSystemButton = nullptr;
    QPushButton* ReadTimeButton = nullptr;
    QPushButton* WriteTimeButton = nullptr;
    QPushButton* WriteTimeCfgButton = nullptr;

    QLineEdit* NightBrightEdit = nullptr;
    QPushButton* NightBrightWriteButton = nullptr;
    QLineEdit* Illum1Edit = nullptr;
    QLineEdit* Illum2Edit = nullptr;

    QPushButton* FindNetAddrButton = nullptr;
    QLineEdit* FindNetAddrFromEdit = nullptr;
    QLineEdit* FindNetAddrToEdit = nullptr;
    QPlainTextEdit* FindNetAddrMemo = nullptr;

    QPushButton* GetSecReqCodeButton = nullptr;
    QLineEdit* SecReqCodeEdit = nullptr;
    QLineEdit* SecOpCodeEdit = nullptr;
    QPushButton* SendSecOpCodeButton = nullptr;
    QLabel* SecOpCodeLabel = nullptr;

    QLineEdit* SubTrk1AddrEdit = nullptr;
    QLineEdit* SubTrk1StatusEdit = nullptr;
    QLineEdit* SubTrk2AddrEdit = nullptr;
    QLineEdit* SubTrk2StatusEdit = nullptr;
    QLineEdit* NumberOfSubTrkEdit = nullptr;
    QLineEdit* SubTrkBaudEdit = nullptr;
    QLineEdit* PcbChEdit = nullptr;
    QLineEdit* LgChEdit = nullptr;
    QPushButton* WriteSubTrkCfgButton = nullptr;

protected:
    bool event(QEvent* e) override;

private:
    QWidget* BuildCfgGroup();
    QWidget* BuildHoseGroup();
    QWidget* BuildRightColumn();
    void ApplyTimeButtons();
    void ShowError(const std::string& text);
    std::string LinkNow() const;       // port, rate and address the main window talks to now
    std::string WriteRefusal() const;  // empty when "Записать" may write
    void Run(Op op, const std::function<void(TComThread&)>& stage = {});

    TViews views_;
    bool workerAllowsTime_ = true;  // the worker disables the clock buttons while a job runs
    bool linkAllowsTime_ = true;    // no clock commands on the VRX 2.0 line
    std::string readFrom_;          // LinkNow() when the layout was last read; empty before
};
