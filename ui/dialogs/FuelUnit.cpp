#include "ui/dialogs/FuelUnit.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <chrono>

#include "commands/DoseCommands.h"
#include "commands/FillSeries.h"
#include "ui/main/ColumnFitter.h"
#include "ui/dialogs/FuelRules.h"
#include "ui/widgets/CellEditor.h"
#include "ui/widgets/FillTrendChart.h"
#include "ui/widgets/ReportView.h"

namespace {

constexpr int kColumnWidth = 70;
constexpr int kBotPanelHeight = 33;
constexpr int kHoldOffTicks = 10;  // five seconds of the main window's 500 ms timer
constexpr int kTrendHeight = 300;  // the fill chart below the table

constexpr std::array<ViewColumn, 16> kDoseColumns{{
    {"", kColumnWidth},         {"Канал 1", kColumnWidth},  {"Канал 2", kColumnWidth},  {"Канал 3", kColumnWidth},
    {"Канал 4", kColumnWidth},  {"Канал 5", kColumnWidth},  {"Канал 6", kColumnWidth},  {"Канал 7", kColumnWidth},
    {"Канал 8", kColumnWidth},  {"Канал 9", kColumnWidth},  {"Канал 10", kColumnWidth}, {"Канал 11", kColumnWidth},
    {"Канал 12", kColumnWidth}, {"Канал 13", kColumnWidth}, {"Канал 14", kColumnWidth}, {"Канал 15", kColumnWidth},
}};
constexpr std::array<ViewRow, 2> kDoseRows{{{kNoGroup, "Доза", nullptr}, {kNoGroup, "Сумма", nullptr}}};
const ViewCatalog kDoseCatalog{kDoseColumns, {}, kDoseRows, kChannelCount};

// Every key the engineer presses holds updates off; Escape and Enter also act.
class EditorKeys : public QObject {
public:
    EditorKeys(QObject* parent, TFuelForm& form) : QObject(parent), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            form_.ListViewEditKeyDown(key);
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TFuelForm& form_;
};

}  // namespace

TFuelForm::TFuelForm(QWidget* parent) : ToolWindow("FuelForm", "Управление наливом", QSize(1134, 118), parent) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    LoadedDoseListView = new ReportView(this);
    LoadedDoseListView->setObjectName("LoadedDoseListView");
    LoadedDoseListView->SetCatalog(kDoseCatalog);
    LoadedDoseListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    LoadedDoseListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(LoadedDoseListView, &ReportView::MousePressed, this, &TFuelForm::LoadedDoseListViewMouseDown);
    new ColumnFitter(LoadedDoseListView, 1);
    layout->addWidget(LoadedDoseListView, 1);
    AddTrendChart(*layout);

    BuildButtons();
    layout->addWidget(BotPanel);

    ListViewEdit = new QLineEdit(this);
    ListViewEdit->setObjectName("ListViewEdit");
    ListViewEdit->hide();
    ListViewEdit->installEventFilter(new EditorKeys(ListViewEdit, *this));
    // Only typing counts as a change: texts the window sets itself do not.
    connect(ListViewEdit, &QLineEdit::textEdited, this, &TFuelForm::ListViewEditChange);
}

void TFuelForm::AddTrendChart(QVBoxLayout& layout) {
    TrendChart = new FillTrendChart(this);
    TrendChart->setMinimumHeight(kTrendHeight);
    connect(TrendChart, &FillTrendChart::SaveFailed, this, [this](const QString& path) {
        if (main_) main_->SetErrorText("Не могу записать " + path.toStdString());
    });
    layout.addWidget(TrendChart, 4);
    resize(size() + QSize(0, kTrendHeight));
}

void TFuelForm::TrackChannelState(int channel, const std::array<uint8_t, kChannelStateSize>& block) {
    if (channel < 0 || channel >= kChannelCount) return;
    using namespace std::chrono;
    const int64_t steady = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    const uint32_t colour = main_ ? main_->State().LiftedNozzleColour[size_t(channel)] : 0;
    TrendChart->AddReading(channel, FillReadingOf(ChannelStateBlock(block), steady, QDateTime::currentMSecsSinceEpoch()),
                           colour);
}

void TFuelForm::BuildButtons() {
    BotPanel = new QWidget(this);
    BotPanel->setObjectName("BotPanel");
    BotPanel->setFixedHeight(kBotPanelHeight);
    auto* row = new QHBoxLayout(BotPanel);
    row->setContentsMargins(2, 2, 2, 2);
    auto add = [&](QPushButton*& button, const char* name, const char* caption, auto action) {
        button = new QPushButton(QString::fromUtf8(caption), BotPanel);
        button->setObjectName(QString::fromLatin1(name));
        button->setEnabled(false);
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
    };
    add(SetDoseParamsButton, "SetDoseParamsButton", "Загрузка", [this] { SetDoseParamsButtonClick(); });
    add(StartDoseButton, "StartDoseButton", "Запуск", [this] { RunForChannel(StartDose); });
    add(StopDoseButton, "StopDoseButton", "Стоп", [this] { RunForChannel(StopDose); });
    add(ContinueDoseButton, "ContinueDoseButton", "Долив", [this] { RunForChannel(ContinueDose); });
    add(ConfirmDoseButton, "ConfirmDoseButton", "Подтвердить", [this] { RunForChannel(ConfirmFillEnd); });
    add(Start1Button, "Start1Button", "Запуск 1л", [this] { StartFixedVolume(1000); });
    add(Start5Button, "Start5Button", "Запуск 5л", [this] { StartFixedVolume(5000); });
    add(Start10Button, "Start10Button", "Запуск 10л", [this] { StartFixedVolume(10000); });
    add(Start100Button, "Start100Button", "Запуск 100л", [this] { StartFixedVolume(100000); });
    row->addStretch(1);
}

void TFuelForm::Attach(IMainView& main, RunOperationFn run, IConfigView* config) {
    main_ = &main;
    config_ = config;
    run_ = std::move(run);
}

void TFuelForm::Run(Op op, const std::function<void(TComThread&)>& stage) {
    if (run_) run_(op, stage);
}

void TFuelForm::RunForChannel(Op op) {
    const int channel = DoseEditChannel;
    Run(op, [channel](TComThread& w) { w.SelectedChannel = channel; });
}

void TFuelForm::StartFixedVolume(uint32_t ml) {
    const int channel = DoseEditChannel;
    Run(LoadAndStartDose, [channel, ml](TComThread& w) {
        w.SelectedChannel = channel;
        w.DoseKind = kDoseByVolume;
        w.DoseAmount = ml;
    });
}

void TFuelForm::SetDoseParamsButtonClick() {
    if (DoseEditRow == DoseRow::None) return;
    // Checked before the start rule, so a bad text leaves no worker behind.
    const DoseLoad load = ReadDoseLoad(DoseEditRow, ListViewEdit->text().toStdString());
    if (!load.Error.empty()) {
        if (main_) main_->SetStatusText(load.Error);
        return;
    }
    const int channel = DoseEditChannel;
    Run(LoadDose, [channel, load](TComThread& w) {
        w.SelectedChannel = channel;
        w.DoseKind = load.Kind;
        w.DoseAmount = load.Amount;
    });
}

void TFuelForm::LoadedDoseListViewMouseDown(QPoint pos) {
    DoseEditRow = DoseRow::None;
    const int row = LoadedDoseListView->RowAt(pos.y());
    if (row != DoseRow::Dose && row != DoseRow::Sum) return;
    const int column = LoadedDoseListView->ColumnAt(pos.x());
    if (column < 1) return;
    DoseEditRow = row;
    DoseEditChannel = column - 1;
    OpenEditorOverCell(*ListViewEdit, *LoadedDoseListView, row, column);
    for (QPushButton* b : BotPanel->findChildren<QPushButton*>()) b->setEnabled(true);
}

void TFuelForm::ListViewEditKeyDown(int key) {
    if (main_) main_->State().EditHoldOff = kHoldOffTicks;
    if (key == Qt::Key_Escape) {
        ListViewEdit->hide();
        return;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    // Both rows keep what was typed in their cell; with no cell chosen Enter does nothing.
    if (DoseEditRow == DoseRow::None || DoseEditChannel < 0) return;
    SetCell(DoseEditRow, DoseEditChannel, ListViewEdit->text().toStdString());
    ListViewEdit->hide();
}

void TFuelForm::ListViewEditChange(const QString& text) {
    if (DoseEditRow == DoseRow::None) return;
    const DoseLoad read = ReadDoseLoad(DoseEditRow, text.toStdString());
    const int value = read.Error.empty() ? int(read.Amount) : -1;
    (DoseEditRow == DoseRow::Sum ? SumValue : DoseValue) = value;
    if (value < 0) {
        if (main_) main_->SetStatusText(read.Error);
        return;
    }
    UpdateDoseSum();
}

void TFuelForm::UpdateDoseSum() {
    if (!main_) return;
    const int amount = DoseEditRow == DoseRow::Sum ? SumValue : DoseValue;
    const bool wholeUnits = config_ && config_->KazakhPriceChecked();
    const auto text = CounterpartText(DoseEditRow, amount, DoseEditChannel, main_->State(), wholeUnits);
    if (text) SetCell(DoseEditRow == DoseRow::Sum ? DoseRow::Dose : DoseRow::Sum, DoseEditChannel, *text);
}

void TFuelForm::ShowLoadedDose(int channel, const std::string& dose, const std::string& sum) {
    if (channel < 0 || channel >= kChannelCount) return;
    const int holdOff = main_ ? main_->State().EditHoldOff : 0;
    const DosePlacement place = PlaceLoadedDose(channel, DoseEditRow, DoseEditChannel, holdOff);
    auto put = [&](DoseTarget target, int row, const std::string& text) {
        if (target == DoseTarget::Cell) SetCell(row, channel, text);
        // setText is no edit: textEdited does not fire, so nothing is recomputed.
        if (target == DoseTarget::Editor) ListViewEdit->setText(QString::fromStdString(text));
    };
    put(place.Dose, DoseRow::Dose, dose);
    put(place.Sum, DoseRow::Sum, sum);
}

void TFuelForm::ShowChannelCount(int count) {
    for (int channel = 0; channel < kChannelCount; ++channel)
        LoadedDoseListView->setColumnHidden(channel + 1, channel >= count);
    // An editor over a channel the controller no longer has would load a dose nobody sees.
    if (DoseEditChannel >= count) ListViewEdit->hide();
}

void TFuelForm::SetCell(int row, int channel, const std::string& text) {
    LoadedDoseListView->SetCellText(row, channel, QString::fromStdString(text));
}
