#include "ui/dialogs/TRK_CfgUnit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "commands/ClockCheck.h"
#include "commands/ConfigMapping.h"
#include "commands/ConfigRecords.h"
#include "commands/LinkSetup.h"
#include "commands/NetAddressSearch.h"
#include "commands/ParameterCommands.h"
#include "commands/RemoteInitCommands.h"
#include "commands/TimeCommands.h"
#include "ui/dialogs/CfgRules.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

const char* const kTimeZones[] = {
    "   0:00 Лондон", "+1:00 Берлин", "+2:00 Калининград", "+3:00 Москва", "+4:00 Самара",
    "+5:00 Екатеринбург", "+6:00 Омск", "+7:00 Новосибирск", "+8:00 Иркутск", "+9:00 Якутск",
    "+10:00 Владивосток", "+11:00 Магадан", "+12:00 Камчатка"};
const char* const kTimeShifts[] = {"Нет", "Автоматический переход на летнее время и обратно", "Летнее время всегда"};
const char* const kProtocols[] = {"Auto", "ПК", "VRX 2.0"};
constexpr int kTimeShiftListWidth = 300;
constexpr int kPowerOutputs = 15;
constexpr int kDefaultChannelCountIndex = 4;

template <typename T>
T* Named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QComboBox* NumberCombo(const QString& name, int items) {
    auto* combo = Named(new QComboBox, name);
    for (int i = 1; i <= items; ++i) combo->addItem(QString::number(i));
    return combo;
}

QLineEdit* Edit(const QString& name, bool readOnly = false) {
    auto* edit = Named(new QLineEdit, name);
    edit->setReadOnly(readOnly);
    return edit;
}

QLabel* Caption(const char* text) { return new QLabel(QString::fromUtf8(text)); }

// Conflicting settings are shown red; the rest in the normal window colour.
void Mark(QWidget* widget, bool red) {
    QPalette palette = QApplication::palette(widget);
    if (red) {
        palette.setColor(QPalette::Button, Qt::red);
        palette.setColor(QPalette::Base, Qt::red);
    }
    widget->setPalette(palette);
}

// A column of numbered combos, one per channel row, named prefix + row number + suffix.
struct ComboColumn {
    const char* Caption;
    const char* NamePrefix;
    const char* NameSuffix;
    int Items;
    std::array<QComboBox*, CfgChannels>* Combos;
};

QGroupBox* ComboTable(const char* title, const char* name, const char* rowCaption,
                      std::initializer_list<ComboColumn> columns) {
    auto* group = Named(new QGroupBox(QString::fromUtf8(title)), name);
    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption(rowCaption), 0, 0);
    int column = 1;
    for (const ComboColumn& c : columns) {
        grid->addWidget(Caption(c.Caption), 0, column);
        for (int i = 0; i < CfgChannels; ++i) {
            const QString n = QString::number(i + 1);
            auto* combo = NumberCombo(QString::fromLatin1(c.NamePrefix) + n + QString::fromLatin1(c.NameSuffix), c.Items);
            (*c.Combos)[size_t(i)] = combo;
            if (column == 1) grid->addWidget(new QLabel(n), i + 1, 0);
            grid->addWidget(combo, i + 1, column);
        }
        ++column;
    }
    return group;
}

void Select(QComboBox* combo, int item) { combo->setCurrentIndex(item >= 0 && item < combo->count() ? item : -1); }

template <size_t N>
std::array<int, N> Items(const std::array<QComboBox*, N>& combos) {
    std::array<int, N> items{};
    for (size_t i = 0; i < N; ++i) items[i] = combos[i]->currentIndex();
    return items;
}

}  // namespace

TTRK_CfgForm::TTRK_CfgForm(QWidget* parent) : ToolWindow("TRK_CfgForm", "Настройки ТРК", QSize(1100, 640), parent) {
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildCfgGroup());
    left->addWidget(BuildHoseGroup());
    left->addStretch();
    layout->addLayout(left);
    layout->addWidget(BuildRightColumn());

    connect(NumberOfChannelsCombo, &QComboBox::currentIndexChanged, this, &TTRK_CfgForm::HoseComboChange);
    for (int i = 0; i < CfgChannels; ++i) {
        connect(HoseCombo[size_t(i)], &QComboBox::currentIndexChanged, this, &TTRK_CfgForm::HoseComboChange);
        for (QComboBox* c : {SmallValveCombo[size_t(i)], LargeValveCombo[size_t(i)], ValveCombo[size_t(i)],
                             FlowmeterCombo[size_t(i)]})
            connect(c, &QComboBox::currentIndexChanged, this, &TTRK_CfgForm::PowerOutputComboChange);
    }
    connect(TRK_CfgWriteButton, &QPushButton::clicked, this, &TTRK_CfgForm::TRK_CfgWriteButtonClick);
    connect(WriteProtocolTypeButton, &QPushButton::clicked, this, &TTRK_CfgForm::WriteProtocolTypeButtonClick);
    connect(WriteTimeCfgButton, &QPushButton::clicked, this, &TTRK_CfgForm::WriteTimeCfgButtonClick);
    connect(WriteTimeButton, &QPushButton::clicked, this, &TTRK_CfgForm::WriteTimeButtonClick);
    connect(GetTimeFromSystemButton, &QPushButton::clicked, this, &TTRK_CfgForm::GetTimeFromSystemButtonClick);
    connect(NightBrightWriteButton, &QPushButton::clicked, this, &TTRK_CfgForm::NightBrightWriteButtonClick);
    connect(FindNetAddrButton, &QPushButton::clicked, this, &TTRK_CfgForm::FindNetAddrButtonClick);
    connect(GetSecReqCodeButton, &QPushButton::clicked, this, &TTRK_CfgForm::GetSecReqCodeButtonClick);
    connect(SendSecOpCodeButton, &QPushButton::clicked, this, &TTRK_CfgForm::SendSecOpCodeButtonClick);
    connect(SecOpCodeEdit, &QLineEdit::textChanged, this, &TTRK_CfgForm::SecOpCodeEditChange);
    connect(WriteSubTrkCfgButton, &QPushButton::clicked, this, &TTRK_CfgForm::WriteSubTrkCfgButtonClick);
}

QWidget* TTRK_CfgForm::BuildCfgGroup() {
    TRK_CfgGroup = Named(new QGroupBox(QString::fromUtf8("Конфигурация ТРК")), "TRK_CfgGroup");
    auto* outer = new QVBoxLayout(TRK_CfgGroup);

    auto* channels = Named(new QGroupBox(QString::fromUtf8("Конфигурация логических каналов")), "GroupBox2");
    auto* cg = new QGridLayout(channels);
    NumberOfChannelsCombo = NumberCombo("NumberOfChannelsCombo", CfgChannels);
    NumberOfChannelsCombo->setCurrentIndex(kDefaultChannelCountIndex);
    cg->addWidget(Caption("Кол-во каналов :"), 0, 0, 1, 2);
    cg->addWidget(NumberOfChannelsCombo, 0, 2);
    cg->addWidget(Caption("Канал"), 1, 0);
    cg->addWidget(Caption("Шланги"), 1, 1);
    cg->addWidget(Caption("Табло"), 1, 2, 1, CfgBoards);
    for (int i = 0; i < CfgChannels; ++i) {
        const QString n = QString::number(i + 1);
        auto* hose = Named(new QComboBox, "TRK_Cfg_Hose" + n + "_Combo");
        for (const HoseSetItem& item : HoseSetItems()) hose->addItem(QString::fromUtf8(item.Text.data(), int(item.Text.size())));
        HoseCombo[size_t(i)] = hose;
        cg->addWidget(new QLabel(n), i + 2, 0);
        cg->addWidget(hose, i + 2, 1);
        for (int b = 0; b < CfgBoards; ++b) {
            auto* box = Named(new QCheckBox(QString::number(b + 1)), "TRK_Cfg_N" + n + "T" + QString::number(b + 1) + "_CheckBox");
            BoardCheckBox[size_t(i)][size_t(b)] = box;
            cg->addWidget(box, i + 2, 2 + b);
        }
    }

    auto* outputs = ComboTable("Конфигурация силовых выходов", "GroupBox3", "Канал",
                               {{"Насос", "TRK_Cfg_Pump", "Out_Combo", kPowerOutputs, &PumpOutCombo},
                                {"Основной", "TRK_Cfg_LargeValve", "_Combo", kPowerOutputs, &LargeValveCombo},
                                {"Сниж.", "TRK_Cfg_SmallValve", "_Combo", kPowerOutputs, &SmallValveCombo}});

    auto* nozzles = Named(new QGroupBox(QString::fromUtf8("Датчики снятия пистолетов")), "GroupBox5");
    auto* ng = new QGridLayout(nozzles);
    ng->addWidget(Caption("Инверсия :"), 0, 0);
    ng->addWidget(Caption("Кнопка без фиксации :"), 1, 0);
    for (int i = 0; i < CfgChannels; ++i) {
        const QString n = QString::number(i + 1);
        InvNozzleCheckBox[size_t(i)] = Named(new QCheckBox(n), "InvNozzle" + n + "CheckBox");
        TrigNozzleCheckBox[size_t(i)] = Named(new QCheckBox(n), "TrigNozzle" + n + "CheckBox");
        ng->addWidget(InvNozzleCheckBox[size_t(i)], 0, i + 1);
        ng->addWidget(TrigNozzleCheckBox[size_t(i)], 1, i + 1);
    }

    auto* groups = new QHBoxLayout;
    groups->addWidget(channels);
    groups->addWidget(outputs);
    outer->addLayout(groups);
    outer->addWidget(nozzles);

    auto check = [](const char* name, const char* text) { return Named(new QCheckBox(QString::fromUtf8(text)), name); };
    WaitNozzleFreeCheckBox = check("WaitNozzleFreeCheckBox", "Разрешить передавать пистолет из рук в руки");
    DontShowTotalsCheckBox = check("DontShowTotalsCheckBox", "Не показывать суммарники");
    DoseAccuracyCheckBox = check("DoseAccuracyCheckBox", "Округлять дозу до 10 мл");
    KazakhPriceCheckBox = check("KazakhPriceCheckBox", "Цена без копеек (Тенге)");
    VrxOverflowCheckBox = check("VrxOverflowCheckBox", "Передавать перелив по протоколу VRX2.0");
    InvAvarBtn1CheckBox = Named(new QCheckBox("1"), "InvAvarBtn1CheckBox");
    InvAvarBtn2CheckBox = Named(new QCheckBox("2"), "InvAvarBtn2CheckBox");
    auto* flags = new QGridLayout;
    flags->addWidget(WaitNozzleFreeCheckBox, 0, 0);
    flags->addWidget(DontShowTotalsCheckBox, 1, 0);
    flags->addWidget(DoseAccuracyCheckBox, 2, 0);
    flags->addWidget(KazakhPriceCheckBox, 0, 1);
    flags->addWidget(VrxOverflowCheckBox, 1, 1);
    auto* avar = new QHBoxLayout;
    avar->addWidget(Caption("Инверсия кнопок аварийного останова :"));
    avar->addWidget(InvAvarBtn1CheckBox);
    avar->addWidget(InvAvarBtn2CheckBox);
    avar->addStretch();
    flags->addLayout(avar, 2, 1);
    outer->addLayout(flags);
    TRK_CfgWriteButton = Named(new QPushButton(QString::fromUtf8("Записать")), "TRK_CfgWriteButton");
    auto* write = new QHBoxLayout;
    write->addStretch();
    write->addWidget(TRK_CfgWriteButton);
    outer->addLayout(write);
    return TRK_CfgGroup;
}

QWidget* TTRK_CfgForm::BuildHoseGroup() {
    return ComboTable("Конфигурация шлангов", "HoseGroupBox", "Шланг",
                      {{"Клапан", "TRK_Cfg_Valve", "_Combo", CfgChannels, &ValveCombo},
                       {"Насос", "TRK_Cfg_Pump", "_Combo", CfgChannels, &PumpCombo},
                       {"Пистолет", "TRK_Cfg_Nozzle", "_Combo", CfgChannels, &NozzleCombo},
                       {"Расходомер", "TRK_Cfg_Flowmeter", "Combo", CfgChannels, &FlowmeterCombo}});
}

QWidget* TTRK_CfgForm::BuildRightColumn() {
    auto* column = new QWidget;
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    auto button = [](const char* name, const char* text) { return Named(new QPushButton(QString::fromUtf8(text)), name); };

    auto* protocol = Named(new QGroupBox(QString::fromUtf8("Протокол")), "GroupBox1");
    auto* pl = new QHBoxLayout(protocol);
    ProtocolCombo = Named(new QComboBox, "ProtocolCombo");
    for (const char* item : kProtocols) ProtocolCombo->addItem(QString::fromUtf8(item));
    ProtocolCombo->setCurrentIndex(0);
    WriteProtocolTypeButton = button("WriteProtocolTypeButton", "W");
    WriteProtocolTypeButton->setToolTip(QString::fromUtf8("Записать"));
    WriteProtocolTypeButton->setMaximumWidth(32);
    pl->addWidget(ProtocolCombo, 1);
    pl->addWidget(WriteProtocolTypeButton);

    TimeGroup = Named(new QGroupBox(QString::fromUtf8("Время")), "TimeGroup");
    auto* tg = new QGridLayout(TimeGroup);
    CurTimeUTCLabel = Named(Caption("по Гринвичу :"), "CurTimeUTCLabel");
    CurTimeUTCEdit = Edit("CurTimeUTCEdit");
    CurTimeLocalLabel = Named(Caption("Местное : "), "CurTimeLocalLabel");
    CurTimeLocalEdit = Edit("CurTimeLocalEdit", true);
    TimeZoneLabel = Named(Caption("Часовой пояс :"), "TimeZoneLabel");
    TimeZoneCombo = Named(new QComboBox, "TimeZoneCombo");
    for (const char* item : kTimeZones) TimeZoneCombo->addItem(QString::fromUtf8(item));
    TimeZoneCombo->setCurrentIndex(-1);
    TimeShiftLabel = Named(Caption("Доп. смещение :"), "TimeShiftLabel");
    TimeShiftCombo = Named(new QComboBox, "TimeShiftCombo");
    for (const char* item : kTimeShifts) TimeShiftCombo->addItem(QString::fromUtf8(item));
    TimeShiftCombo->setCurrentIndex(-1);
    TimeShiftCombo->view()->setMinimumWidth(kTimeShiftListWidth);
    GetTimeFromSystemButton = button("GetTimeFromSystemButton", "Текущее время");
    ReadTimeButton = button("ReadTimeButton", "Прочитать");
    WriteTimeButton = button("WriteTimeButton", "Записать время");
    WriteTimeCfgButton = button("WriteTimeCfgButton", "Записать конфиг");
    tg->addWidget(CurTimeUTCLabel, 0, 0);
    tg->addWidget(CurTimeUTCEdit, 0, 1);
    tg->addWidget(CurTimeLocalLabel, 1, 0);
    tg->addWidget(CurTimeLocalEdit, 1, 1);
    tg->addWidget(TimeZoneLabel, 2, 0);
    tg->addWidget(TimeZoneCombo, 2, 1);
    tg->addWidget(TimeShiftLabel, 3, 0);
    tg->addWidget(TimeShiftCombo, 3, 1);
    auto* tb = new QGridLayout;
    tb->addWidget(GetTimeFromSystemButton, 0, 0);
    tb->addWidget(ReadTimeButton, 0, 1);
    tb->addWidget(WriteTimeButton, 1, 0);
    tb->addWidget(WriteTimeCfgButton, 1, 1);
    tg->addLayout(tb, 4, 0, 1, 2);

    auto* bright = Named(new QGroupBox(QString::fromUtf8("Яркость табло")), "TabloBrightGroup");
    auto* bg = new QGridLayout(bright);
    NightBrightEdit = Edit("NightBrightEdit");
    NightBrightWriteButton = button("NightBrightWriteButton", "Записать");
    Illum1Edit = Edit("Illum1Edit", true);
    Illum2Edit = Edit("Illum2Edit", true);
    bg->addWidget(Caption("Ночная яркость : "), 0, 0);
    bg->addWidget(NightBrightEdit, 0, 1);
    bg->addWidget(new QLabel("%"), 0, 2);
    bg->addWidget(NightBrightWriteButton, 0, 3);
    bg->addWidget(Caption("Освещенность табло 1,2 : "), 1, 0);
    bg->addWidget(Illum1Edit, 1, 1);
    bg->addWidget(new QLabel("%"), 1, 2);
    bg->addWidget(Caption("Освещенность табло 3,4 : "), 2, 0);
    bg->addWidget(Illum2Edit, 2, 1);
    bg->addWidget(new QLabel("%"), 2, 2);

    auto* search = Named(new QGroupBox(QString::fromUtf8("Поиск сетевых адресов")), "FindNetAddrGroupBox");
    auto* sg = new QGridLayout(search);
    FindNetAddrButton = button("FindNetAddrButton", "Начать");
    FindNetAddrFromEdit = Edit("FindNetAddrFromEdit");
    FindNetAddrFromEdit->setText("1");
    FindNetAddrToEdit = Edit("FindNetAddrToEdit");
    FindNetAddrToEdit->setText("127");
    FindNetAddrMemo = Named(new QPlainTextEdit, "FindNetAddrMemo");
    FindNetAddrMemo->setReadOnly(true);
    sg->addWidget(FindNetAddrButton, 0, 0);
    sg->addWidget(Caption("от : "), 0, 1);
    sg->addWidget(FindNetAddrFromEdit, 0, 2);
    sg->addWidget(Caption("до : "), 0, 3);
    sg->addWidget(FindNetAddrToEdit, 0, 4);
    sg->addWidget(FindNetAddrMemo, 1, 0, 1, 5);

    auto* remote = Named(new QGroupBox(QString::fromUtf8("Удалённая инициализация")), "SecCodeGroupBox");
    auto* rg = new QGridLayout(remote);
    GetSecReqCodeButton = button("GetSecReqCodeButton", "Получить");
    SecReqCodeEdit = Edit("SecReqCodeEdit");
    SecOpCodeEdit = Edit("SecOpCodeEdit");
    SendSecOpCodeButton = button("SendSecOpCodeButton", "Отправить");
    SecOpCodeLabel = Named(new QLabel, "SecOpCodeLabel");
    rg->addWidget(Caption("Код запроса : "), 0, 0);
    rg->addWidget(SecReqCodeEdit, 0, 1);
    rg->addWidget(GetSecReqCodeButton, 0, 2);
    rg->addWidget(Caption("Код операции : "), 1, 0);
    rg->addWidget(SecOpCodeEdit, 1, 1);
    rg->addWidget(SendSecOpCodeButton, 1, 2);
    rg->addWidget(SecOpCodeLabel, 2, 1, 1, 2);

    auto* sub = Named(new QGroupBox(QString::fromUtf8("Подчинённые контроллеры")), "GroupBox4");
    auto* ug = new QGridLayout(sub);
    SubTrk1AddrEdit = Edit("SubTrk1AddrEdit");
    SubTrk1StatusEdit = Edit("SubTrk1StatusEdit", true);
    SubTrk2AddrEdit = Edit("SubTrk2AddrEdit");
    SubTrk2StatusEdit = Edit("SubTrk2StatusEdit", true);
    NumberOfSubTrkEdit = Edit("NumberOfSubTrkEdit", true);
    SubTrkBaudEdit = Edit("SubTrkBaudEdit");
    PcbChEdit = Edit("PcbChEdit", true);
    LgChEdit = Edit("LgChEdit", true);
    WriteSubTrkCfgButton = button("WriteSubTrkCfgButton", "Записать");
    ug->addWidget(Caption("Адрес первого : "), 0, 0);
    ug->addWidget(SubTrk1AddrEdit, 0, 1);
    ug->addWidget(SubTrk1StatusEdit, 0, 2);
    ug->addWidget(Caption("Адрес второго : "), 1, 0);
    ug->addWidget(SubTrk2AddrEdit, 1, 1);
    ug->addWidget(SubTrk2StatusEdit, 1, 2);
    ug->addWidget(Caption("Кол-во плат : "), 2, 0);
    ug->addWidget(NumberOfSubTrkEdit, 2, 1);
    ug->addWidget(Caption("Скорость обмена : "), 3, 0);
    ug->addWidget(SubTrkBaudEdit, 3, 1);
    ug->addWidget(Caption("Кол-во каналов на плате : "), 4, 0);
    ug->addWidget(PcbChEdit, 4, 1);
    ug->addWidget(Caption("Кол-во лог. каналов : "), 5, 0);
    ug->addWidget(LgChEdit, 5, 1);
    ug->addWidget(WriteSubTrkCfgButton, 5, 2);

    auto* top = new QHBoxLayout;
    auto* topLeft = new QVBoxLayout;
    topLeft->addWidget(protocol);
    topLeft->addWidget(bright);
    topLeft->addStretch();
    top->addLayout(topLeft);
    top->addWidget(TimeGroup);
    v->addLayout(top);
    auto* middle = new QHBoxLayout;
    middle->addWidget(search);
    middle->addWidget(sub);
    v->addLayout(middle);
    v->addWidget(remote);
    return column;
}

// --- Display steps -------------------------------------------------------------------------

void TTRK_CfgForm::ApplyTimeButtons() {
    const bool enabled = workerAllowsTime_ && linkAllowsTime_;
    for (QPushButton* b : {ReadTimeButton, WriteTimeButton, WriteTimeCfgButton}) b->setEnabled(enabled);
}

void TTRK_CfgForm::SetTimeButtonsEnabled(bool enabled) {
    workerAllowsTime_ = enabled;
    ApplyTimeButtons();
}

void TTRK_CfgForm::SetFindNetAddrButtonCaption(const std::string& caption) { FindNetAddrButton->setText(Q(caption)); }
void TTRK_CfgForm::SetProtocolComboIndex(int index) { Select(ProtocolCombo, index); }
void TTRK_CfgForm::SetProtocolComboEnabled(bool enabled) { ProtocolCombo->setEnabled(enabled); }

void TTRK_CfgForm::ShowTrkCfg(const TrkCfgControls& c) {
    // Filling the controls is no change by the engineer: the checks do not run, and every
    // combo gets its normal colour back.
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QComboBox* combo : findChildren<QComboBox*>()) quiet.push_back(std::make_unique<QSignalBlocker>(combo));
    Select(NumberOfChannelsCombo, c.ChannelCountIndex);
    Mark(NumberOfChannelsCombo, false);
    for (size_t i = 0; i < CfgChannels; ++i) {
        for (size_t b = 0; b < CfgBoards; ++b) BoardCheckBox[i][b]->setChecked(c.ChannelBoard[i][b]);
        const std::pair<QComboBox*, int> combos[] = {
            {PumpCombo[i], c.HosePump[i]},   {PumpOutCombo[i], c.PumpOut[i]},        {HoseCombo[i], c.HoseSet[i]},
            {ValveCombo[i], c.HoseValve[i]}, {SmallValveCombo[i], c.SmallValveOut[i]}, {LargeValveCombo[i], c.LargeValveOut[i]},
            {NozzleCombo[i], c.HoseNozzle[i]}, {FlowmeterCombo[i], c.HoseFlowmeter[i]}};
        for (auto [combo, item] : combos) {
            Select(combo, item);
            Mark(combo, false);
        }
        InvNozzleCheckBox[i]->setChecked(c.InvNozzle[i]);
        TrigNozzleCheckBox[i]->setChecked(c.TrigNozzle[i]);
    }
    InvAvarBtn1CheckBox->setChecked(c.InvAvarBtn[0]);
    InvAvarBtn2CheckBox->setChecked(c.InvAvarBtn[1]);
    WaitNozzleFreeCheckBox->setChecked(c.WaitNozzleFree);
    DontShowTotalsCheckBox->setChecked(c.DontShowTotals);
    DoseAccuracyCheckBox->setChecked(c.DoseAccuracy);
    KazakhPriceCheckBox->setChecked(c.KazakhPrice);
    VrxOverflowCheckBox->setChecked(c.VrxOverflow);
}

TrkCfgControls TTRK_CfgForm::CurrentControls() const {
    TrkCfgControls c;
    c.ChannelCountIndex = NumberOfChannelsCombo->currentIndex();
    for (size_t i = 0; i < CfgChannels; ++i) {
        c.InvNozzle[i] = InvNozzleCheckBox[i]->isChecked();
        c.TrigNozzle[i] = TrigNozzleCheckBox[i]->isChecked();
        for (size_t b = 0; b < CfgBoards; ++b) c.ChannelBoard[i][b] = BoardCheckBox[i][b]->isChecked();
    }
    c.SmallValveOut = Items(SmallValveCombo);
    c.LargeValveOut = Items(LargeValveCombo);
    c.PumpOut = Items(PumpOutCombo);
    c.HoseValve = Items(ValveCombo);
    c.HosePump = Items(PumpCombo);
    c.HoseNozzle = Items(NozzleCombo);
    c.HoseFlowmeter = Items(FlowmeterCombo);
    c.HoseSet = Items(HoseCombo);
    c.InvAvarBtn = {InvAvarBtn1CheckBox->isChecked(), InvAvarBtn2CheckBox->isChecked()};
    c.WaitNozzleFree = WaitNozzleFreeCheckBox->isChecked();
    c.DontShowTotals = DontShowTotalsCheckBox->isChecked();
    c.DoseAccuracy = DoseAccuracyCheckBox->isChecked();
    c.KazakhPrice = KazakhPriceCheckBox->isChecked();
    c.VrxOverflow = VrxOverflowCheckBox->isChecked();
    return c;
}

void TTRK_CfgForm::SetTrkCfgWriteButtonEnabled(bool enabled) { TRK_CfgWriteButton->setEnabled(enabled); }

void TTRK_CfgForm::ShowSubTrkCfg(const SubTrkCfgTexts& t) {
    PcbChEdit->setText(Q(t.PcbChannels));
    NumberOfSubTrkEdit->setText(Q(t.BoardCount));
    LgChEdit->setText(Q(t.LogicalChannels));
    SubTrkBaudEdit->setText(Q(t.BitRate));
    SubTrk1AddrEdit->setText(Q(t.Address1));
    SubTrk1StatusEdit->setText(Q(t.State1));
    SubTrk2AddrEdit->setText(Q(t.Address2));
    SubTrk2StatusEdit->setText(Q(t.State2));
}

bool TTRK_CfgForm::KazakhPriceChecked() { return KazakhPriceCheckBox->isChecked(); }
bool TTRK_CfgForm::CurTimeUTCEditActive() { return CurTimeUTCEdit->hasFocus(); }
void TTRK_CfgForm::SetCurTimeUTCText(const std::string& text) { CurTimeUTCEdit->setText(Q(text)); }
void TTRK_CfgForm::SetCurTimeLocalText(const std::string& text) { CurTimeLocalEdit->setText(Q(text)); }
void TTRK_CfgForm::SetTimeZoneIndex(int item) { Select(TimeZoneCombo, item); }
void TTRK_CfgForm::SetTimeShiftIndex(int item) { Select(TimeShiftCombo, item); }
void TTRK_CfgForm::SetNightBrightText(const std::string& text) { NightBrightEdit->setText(Q(text)); }
void TTRK_CfgForm::SetIllum1Text(const std::string& text) { Illum1Edit->setText(Q(text)); }
void TTRK_CfgForm::SetIllum2Text(const std::string& text) { Illum2Edit->setText(Q(text)); }

void TTRK_CfgForm::AppendFoundLine(const std::string& line) {
    // The memo starts a new line for each entry: the line's own break is not doubled.
    QString text = Q(line);
    while (text.endsWith('\n') || text.endsWith('\r')) text.chop(1);
    FindNetAddrMemo->appendPlainText(text);
}

void TTRK_CfgForm::SetSecReqCodeText(const std::string& text) { SecReqCodeEdit->setText(Q(text)); }

// --- Checks --------------------------------------------------------------------------------

void TTRK_CfgForm::HoseComboChange() {
    const HoseSetCheck check = CheckHoseSets(NumberOfChannelsCombo->currentIndex(), Items(HoseCombo));
    Mark(NumberOfChannelsCombo, !check.CountValid);
    if (!check.Applies) return;
    for (size_t i = 0; i < CfgChannels; ++i) Mark(HoseCombo[i], check.Red[i]);
    TRK_CfgWriteButton->setEnabled(check.WriteEnabled);
}

void TTRK_CfgForm::PowerOutputComboChange() {
    const PowerOutputCheck check = CheckPowerOutputs(NumberOfChannelsCombo->currentIndex(), Items(SmallValveCombo),
                                                     Items(LargeValveCombo), Items(PumpOutCombo));
    Mark(NumberOfChannelsCombo, !check.CountValid);
    if (check.Recolour)
        for (size_t i = 0; i < CfgChannels; ++i) {
            Mark(SmallValveCombo[i], check.SmallRed[i]);
            Mark(LargeValveCombo[i], check.LargeRed[i]);
            Mark(PumpOutCombo[i], check.PumpRed[i]);
        }
    TRK_CfgWriteButton->setEnabled(check.WriteEnabled);
}

// --- Buttons -------------------------------------------------------------------------------

void TTRK_CfgForm::ShowError(const std::string& text) {
    if (views_.Main) views_.Main->SetErrorText(text);
}

void TTRK_CfgForm::Run(Op op, const std::function<void(TComThread&)>& stage) {
    if (!views_.Main) return;
    StartOperation(views_, views_.Main->PortPanelText(), views_.Main->State().BaudRate, op, stage);
}

void TTRK_CfgForm::TRK_CfgWriteButtonClick() {
    const TrkCfgControls controls = CurrentControls();
    // The main window's columns follow once the controller took the page (WriteTrkCfgFromWindow).
    Run(WriteTrkCfgFromWindow, [controls](TComThread& w) { w.TrkCfgControlsToWrite = controls; });
}

void TTRK_CfgForm::WriteProtocolTypeButtonClick() {
    const int type = ProtocolCombo->currentIndex();
    Run(WriteProtocolType, [type](TComThread& w) { w.ProtocolType = type; });
}

void TTRK_CfgForm::WriteTimeCfgButtonClick() {
    const Checked<ZoneSetting> zone = TimeZoneToWrite(TimeZoneCombo->currentIndex(), TimeShiftCombo->currentIndex());
    if (!zone.Value) return ShowError(zone.Error);
    Run(WriteTimeZone, [z = *zone.Value](TComThread& w) {
        w.TimeZone = z.ZoneQuarters;
        w.SummerTimeMode = z.SummerMode;
    });
}

void TTRK_CfgForm::WriteTimeButtonClick() {
    const Checked<uint32_t> utc = UtcTimeToWrite(S(CurTimeUTCEdit->text()));
    if (!utc.Value) return ShowError(utc.Error);
    Run(WriteTime, [t = *utc.Value](TComThread& w) { w.UtcTime = t; });
}

void TTRK_CfgForm::GetTimeFromSystemButtonClick() {
    const PcTimeGroup pc = PcTimeForGroup(CurrentPcClock());
    Select(TimeZoneCombo, pc.zoneItem);
    Select(TimeShiftCombo, 0);
    CurTimeLocalEdit->setText(Q(pc.localText));
    CurTimeUTCEdit->setText(Q(pc.utcText));
}

void TTRK_CfgForm::NightBrightWriteButtonClick() {
    const Checked<uint32_t> bright = NightBrightToWrite(S(NightBrightEdit->text()));
    if (!bright.Value) return ShowError(bright.Error);
    Run(WriteNightBright, [b = *bright.Value](TComThread& w) { w.NightBright = b; });
}

void TTRK_CfgForm::FindNetAddrButtonClick() {
    if (FindNetAddrButton->text() == QString::fromUtf8("СТОП")) {
        // The search alone: a poll it was handed to goes on.
        RequestSearchStop();
        return;
    }
    const Checked<SearchRange> range = SearchRangeToStage(S(FindNetAddrFromEdit->text()), S(FindNetAddrToEdit->text()));
    if (!range.Value) return ShowError(range.Error);
    FindNetAddrButton->setText(QString::fromUtf8("СТОП"));
    FindNetAddrMemo->clear();
    ClearSearchStop();
    Run(FindNetAddress, [r = *range.Value](TComThread& w) {
        w.SearchFrom = r.From;
        w.SearchTo = r.To;
    });
}

void TTRK_CfgForm::GetSecReqCodeButtonClick() { Run(ReadRemoteInitRequestCode); }

void TTRK_CfgForm::SecOpCodeEditChange() { SecOpCodeLabel->setText(Q(ParseRemoteInitCode(S(SecOpCodeEdit->text())).Label)); }

void TTRK_CfgForm::SendSecOpCodeButtonClick() {
    const RemoteInitCode code = ParseRemoteInitCode(S(SecOpCodeEdit->text()));
    SecOpCodeLabel->setText(Q(code.Label));
    if (!code.Valid) return;
    Run(SendRemoteInitOperation, [record = code.Record](TComThread& w) { w.RemoteInitOperation = record; });
}

void TTRK_CfgForm::WriteSubTrkCfgButtonClick() {
    const SubTrkValues values =
        SubTrkValuesToWrite(S(SubTrk1AddrEdit->text()), S(SubTrk2AddrEdit->text()), S(SubTrkBaudEdit->text()));
    if (!values.Error.empty()) return ShowError(values.Error);
    Run(WriteSubTrkCfg, [b = values.Bytes](TComThread& w) {
        w.SubTrk1AddressToWrite = b[0];
        w.SubTrk2AddressToWrite = b[1];
        w.SubTrkBitRateDivisorToWrite = b[2];
    });
}

// --- Activation ----------------------------------------------------------------------------

void TTRK_CfgForm::FormActivate() {
    linkAllowsTime_ = !views_.Main || TimeGroupEnabled(views_.Main->State().BaudRate);
    for (QWidget* w : std::initializer_list<QWidget*>{CurTimeUTCEdit, CurTimeUTCLabel, CurTimeLocalEdit, TimeZoneCombo,
                                                      TimeZoneLabel, TimeShiftCombo, TimeShiftLabel, GetTimeFromSystemButton})
        w->setEnabled(linkAllowsTime_);
    ApplyTimeButtons();
    SecOpCodeLabel->clear();
    if (QWidget* focused = focusWidget()) focused->clearFocus();
}

bool TTRK_CfgForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return ToolWindow::event(e);
}
