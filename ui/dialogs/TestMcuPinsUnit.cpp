#include "ui/dialogs/TestMcuPinsUnit.h"

TTestMcuPinsForm::TTestMcuPinsForm(QWidget* parent) : ToolWindow("TestMcuPinsForm", "Тест ног процессора", QSize(700, 500), parent) {}
