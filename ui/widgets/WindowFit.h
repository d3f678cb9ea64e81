#pragma once
// How large a window opens: as designed, but never beyond what a 1366 x 768 laptop with a panel
// leaves for a window (1366 x 740, its title bar included), nor beyond the screen it opens on.
#include <QRect>
#include <QSize>

class QWidget;

inline constexpr QSize kLaptopWorkArea{1366, 740};
// Room left around a window's client area for what the window manager draws: the title bar
// above, a border at either side.
inline constexpr int kTitleBarAllowance = 30;
inline constexpr int kBorderAllowance = 8;

// The client size a window opens with; `available` is the screen's work area, empty when unknown.
QSize OpeningSize(QSize designed, QRect available = {});
// Resizes a window that is not shown yet to its opening size on the primary screen.
void ResizeForOpening(QWidget& window, QSize designed);
