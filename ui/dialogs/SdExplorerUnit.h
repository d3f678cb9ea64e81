#pragma once
// The SD card explorer: root directory entries and the selected entry as text.
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class TSdCardExplorerForm : public ToolWindow, public ISdExplorerView {
    Q_OBJECT
public:
    explicit TSdCardExplorerForm(QWidget* parent = nullptr);
};
