#pragma once
// The dose window: a dose by volume or by money per channel, loaded, started, stopped,
// continued and confirmed on the controller, or a fixed volume started with one click.
#include <functional>
#include <string>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;
class FillTrendChart;
class ReportView;

class TFuelForm : public ToolWindow, public IDoseView {
    Q_OBJECT
public:
    // Hands an operation with its staging step to the main window's start rule.
    using RunOperationFn = std::function<void(Op, const std::function<void(TComThread&)>&)>;

    explicit TFuelForm(QWidget* parent = nullptr);
    // The main window: its hold-off counter, price table and status panel, and its start rule.
    // `config`: its KazakhPriceCheckBox says whether prices are whole currency units.
    void Attach(IMainView& main, RunOperationFn run, IConfigView* config = nullptr);

    // IDoseView
    void ShowLoadedDose(int channel, const std::string& dose, const std::string& sum) override;
    void TrackChannelState(int channel, const std::array<uint8_t, kChannelStateSize>& block) override;
    // Shows the columns of the controller's channels only (the main window's channel count).
    void ShowChannelCount(int count);

    // Handlers, named after control and event.
    void LoadedDoseListViewMouseDown(QPoint pos);  // viewport position
    void ListViewEditKeyDown(int key);
    void ListViewEditChange(const QString& text);
    void SetDoseParamsButtonClick();

    ReportView* LoadedDoseListView = nullptr;
    QWidget* BotPanel = nullptr;
    QPushButton* SetDoseParamsButton = nullptr;
    QPushButton* StartDoseButton = nullptr;
    QPushButton* StopDoseButton = nullptr;
    QPushButton* ContinueDoseButton = nullptr;
    QPushButton* ConfirmDoseButton = nullptr;
    QPushButton* Start1Button = nullptr;
    QPushButton* Start5Button = nullptr;
    QPushButton* Start10Button = nullptr;
    QPushButton* Start100Button = nullptr;
    QLineEdit* ListViewEdit = nullptr;
    FillTrendChart* TrendChart = nullptr;  // objectName FillTrendChart, under the table

    int DoseEditRow = -1;      // 0 dose, 1 sum, -1 none
    int DoseEditChannel = -1;  // 0-based
    int DoseValue = -1;        // ml, -1 unreadable
    int SumValue = -1;         // kopecks, -1 unreadable

private:
    void BuildButtons();
    void AddTrendChart(QVBoxLayout& layout);
    void Run(Op op, const std::function<void(TComThread&)>& stage);
    void RunForChannel(Op op);
    void StartFixedVolume(uint32_t ml);
    void UpdateDoseSum();
    void SetCell(int row, int channel, const std::string& text);

    IMainView* main_ = nullptr;
    IConfigView* config_ = nullptr;
    RunOperationFn run_;
};
