#pragma once
// SIGINT and SIGTERM close the main window the way its close button does: the worker stops,
// the port is closed (its exclusive flag with it) and the settings are kept before the program
// leaves. A signal only writes a byte; the window closes on the event loop.
class QWidget;

void CloseOnStopSignals(QWidget& window);
