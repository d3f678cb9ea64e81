#include "ui/dialogs/TestTabloManualUnit.h"

TTestTabloManualForm::TTestTabloManualForm(QWidget* parent) : ToolWindow("TestTabloManualForm", "Test Tablo", QSize(600, 440), parent) {}
