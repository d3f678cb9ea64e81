#include "ui/dialogs/TRK_CfgUnit.h"

TTRK_CfgForm::TTRK_CfgForm(QWidget* parent) : ToolWindow("TRK_CfgForm", "Настройки ТРК", QSize(900, 600), parent) {}
