#include "ui/dialogs/SdExplorerUnit.h"

TSdCardExplorerForm::TSdCardExplorerForm(QWidget* parent) : ToolWindow("SdCardExplorerForm", "SD-Card Explorer", QSize(700, 500), parent) {}
