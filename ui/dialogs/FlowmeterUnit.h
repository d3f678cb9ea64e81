#pragma once
// The flowmeter window: one column per flowmeter, three settings edited in place.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class QComboBox;
class QLineEdit;
class ReportView;

class TFlowmeterForm : public ToolWindow, public IFlowmeterView {
    Q_OBJECT
public:
    explicit TFlowmeterForm(QWidget* parent = nullptr);

    // The main window's starters; the window itself never talks to the controller.
    std::function<void(int flowmeter, int type)> SendFlowmeterType;
    std::function<void(int flowmeter, int type, const std::string& text)> SendFlowmeterAddress;
    std::function<void(int flowmeter, const std::string& text)> SendFlowmeterOffset;

    // IFlowmeterView
    void SetFlowmeterCell(int row, int flowmeter, const std::string& text) override;
    void SetReportedFlowmeterType(int flowmeter, uint8_t type) override;
    void SetCryptoStatus(int flowmeter, uint8_t code) override;
    // Greys the columns of flowmeters beyond the controller's channel count; they stay, as
    // the window is laid out with fifteen.
    void ShowChannelCount(int count);

    // Handlers; positions in the list's viewport.
    void FlowmeterListViewMouseDown(QPoint pos);
    void FlowmeterListViewMouseMove(QPoint pos, QPoint globalPos);
    void FlowmeterTypeComboChange(int item);
    void FlowmeterListViewEditKeyDown(int key);

    ReportView* FlowmeterListView = nullptr;
    QComboBox* FlowmeterTypeCombo = nullptr;
    QLineEdit* FlowmeterListViewEdit = nullptr;

    int EditRow = 0;  // 0: no editor open
    int EditFlowmeter = 0;
    // Per flowmeter: the type a reader reported last, or the one chosen in the type list
    // since; the LPGmass address is sent with it.
    std::array<uint8_t, kChannelCount> KnownType{};
    std::array<uint8_t, kChannelCount> CryptoStatus{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceOverCell(QWidget* editor, int row, int column);
    QObject* typeList_ = nullptr;  // the type list's open view
};
