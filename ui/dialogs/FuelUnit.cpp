#include "ui/dialogs/FuelUnit.h"

TFuelForm::TFuelForm(QWidget* parent) : ToolWindow("FuelForm", "Управление наливом", QSize(1134, 118), parent) {}
