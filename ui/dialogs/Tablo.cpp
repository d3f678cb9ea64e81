#include "ui/dialogs/Tablo.h"

TTabloForm::TTabloForm(QWidget* parent) : ToolWindow("TabloForm", "Tablo", QSize(700, 300), parent) {}
