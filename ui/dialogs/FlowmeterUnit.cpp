#include "ui/dialogs/FlowmeterUnit.h"

TFlowmeterForm::TFlowmeterForm(QWidget* parent) : ToolWindow("FlowmeterForm", "Расходомеры", QSize(800, 500), parent) {}
