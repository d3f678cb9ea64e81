// The main window's one in-place editor over its three views, and the cells that act on a
// click: the channel block toggle and the nozzle colours. The checks are in EditRules.
#include <QColorDialog>
#include <QKeyEvent>
#include <QLineEdit>

#include "commands/DoseCommands.h"
#include "ui/main/EditRules.h"
#include "ui/main/MainUnit.h"
#include "ui/widgets/CellEditor.h"
#include "ui/widgets/ReportView.h"

namespace {

constexpr int kValueColumn = 1;  // the "Значение" column of TRK_StatusListView
constexpr int kBlockRow = 0, kLiftedRow = 24, kRestingRow = 25;

// Hands the editor's keys and focus loss to the window.
class EditorEvents : public QObject {
public:
    EditorEvents(QObject* parent, TForm1& form) : QObject(parent), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) form_.ListViewEditExit();
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
                form_.ListViewEditKeyDown(key);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm1& form_;
};

QColor FromColourValue(uint32_t v) { return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF)); }
uint32_t ColourValue(const QColor& c) { return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16; }

}  // namespace

void TForm1::BuildInPlaceEditor() {
    ListViewEdit->installEventFilter(new EditorEvents(ListViewEdit, *this));
    connect(TRK_StatusListView, &ReportView::MousePressed, this, &TForm1::TRK_StatusListViewMouseDown);
    connect(ChStatusListView, &ReportView::MousePressed, this, &TForm1::ChStatusListViewMouseDown);
    connect(ValveListView, &ReportView::MousePressed, this, &TForm1::ValveListViewMouseDown);
    PickNozzleColour = [this](uint32_t preset) -> std::optional<uint32_t> {
        ColorDialog1->setCurrentColor(FromColourValue(preset));
        if (ColorDialog1->exec() != QDialog::Accepted) return std::nullopt;
        return ColourValue(ColorDialog1->selectedColor());
    };
}

void TForm1::ClearEditTargets() {
    EditTrkRow = 0;
    EditChRow = 0;
    EditValveRow = -1;
}

void TForm1::OpenCellEditor(ReportView* view, int row, int column) {
    OpenEditorOverCell(*ListViewEdit, *view, row, column);
    ListViewEdit->selectAll();
}

void TForm1::TRK_StatusListViewMouseDown(QPoint pos) {
    const int row = TRK_StatusListView->RowAt(pos.y());
    if (!IsEditableTrkRow(row) || TRK_StatusListView->ColumnAt(pos.x()) != kValueColumn) return;
    ClearEditTargets();
    EditTrkRow = row;
    OpenCellEditor(TRK_StatusListView, row, kValueColumn);
}

void TForm1::ChStatusListViewMouseDown(QPoint pos) {
    const int row = ChStatusListView->RowAt(pos.y());
    if (!IsChClickRow(row)) return;
    const int column = ChStatusListView->ColumnAt(pos.x());
    if (column < 1) return;
    ClearEditTargets();
    EditChRow = row;
    EditChannel = column - 1;
    if (row == kLiftedRow || row == kRestingRow) {
        PickColourFor(EditChannel, row == kLiftedRow ? 0 : 1);
        ChStatusListView->clearSelection();
    } else if (row == kBlockRow) {
        ToggleChannelBlock(EditChannel);
        ChStatusListView->clearSelection();
    } else if (IsEditableChRow(row)) {
        OpenCellEditor(ChStatusListView, row, column);
    }
}

void TForm1::ValveListViewMouseDown(QPoint pos) {
    EditValveRow = -1;
    const int row = ValveListView->RowAt(pos.y());
    if (!IsEditableValveRow(row)) return;
    const int column = ValveListView->ColumnAt(pos.x());
    if (column < 1) return;
    ClearEditTargets();
    EditValveRow = row;
    EditValveColumn = column - 1;
    OpenCellEditor(ValveListView, row, column);
}

void TForm1::ListViewEditKeyDown(int key) {
    if (key == Qt::Key_Escape) {
        ListViewEdit->hide();
        return;
    }
    if (!ListViewEdit->isVisible()) return;
    const std::string text = ListViewEdit->text().toStdString();
    // The typed text stays in its cell, accepted or not, until the next reading replaces it.
    if (EditTrkRow != 0) {
        SetTrkStatus(EditTrkRow, 0, text);
        ListViewEdit->hide();
        ApplyEdit(CheckTrkEdit(EditTrkRow, [this](int row) {
            return TRK_StatusListView->CellText(row, 0).toStdString();
        }));
    } else if (EditChRow != 0) {
        SetChStatus(EditChRow, EditChannel, text);
        ListViewEdit->hide();
        const bool wholeUnits = views_.Config && views_.Config->KazakhPriceChecked();
        const EditOutcome outcome = CheckChEdit(EditChRow, EditChannel, text, wholeUnits);
        if (outcome.Accepted() && EditChRow == 21) state_.KnownPrices[size_t(EditChannel)] = outcome.Value;
        if (outcome.Accepted() && EditChRow == 23) {
            state_.FuelNames[size_t(EditChannel)] = outcome.Text;
            ShowFuelName(EditChannel);
        }
        ApplyEdit(outcome);
    } else if (EditValveRow != -1) {
        SetValveStatus(EditValveRow, EditValveColumn, text);
        ListViewEdit->hide();
        ApplyEdit(CheckValveEdit(EditValveRow, EditValveColumn, text));
    }
}

void TForm1::ListViewEditExit() { ListViewEdit->hide(); }

void TForm1::ApplyEdit(const EditOutcome& outcome) {
    if (!outcome.Error.empty()) {
        SetErrorText(outcome.Error);
        return;
    }
    if (outcome.Accepted()) RunOperation(outcome.Write, outcome.Stage);
}

void TForm1::ToggleChannelBlock(int channel) {
    const QPixmap shown = ChStatusListView->CellImage(kBlockRow, channel);
    const bool blocked = !shown.isNull() && shown.cacheKey() == chImages_[size_t(Images::RedCross)].cacheKey();
    const uint8_t flag = blocked ? 0 : 1;
    RunOperation(BlockChannel, [channel, flag](TComThread& w) {
        w.SelectedChannel = channel;
        w.BlockFlag = flag;
    });
}

void TForm1::PickColourFor(int channel, int kind) {
    if (channel < 0 || channel >= kChannelCount || !PickNozzleColour) return;
    uint32_t& colour = kind == 0 ? state_.LiftedNozzleColour[size_t(channel)]
                                 : state_.RestingNozzleColour[size_t(channel)];
    const std::optional<uint32_t> picked = PickNozzleColour(colour);
    if (!picked) return;
    colour = *picked;
    DrawNozzleColour(channel, kind);
    SendNozzleColours(channel);
}

void TForm1::SendNozzleColours(int channel) { ApplyEdit(CheckNozzleColours(channel, state_)); }
