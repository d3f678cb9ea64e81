// ornix-tester: creates the application's windows in their start-up order and runs the event loop.
#include <QApplication>
#include <QScreen>

#include "engine/UserFormats.h"
#include "ui/main/AppWindows.h"
#include "ui/main/SettingsFile.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The user's date, time and decimal formats are read once, before any worker starts.
    LoadUserFormatsFromSystem();

    TAppWindows windows(DefaultSettingsPath());
    TForm1& form = windows.Form1;
    QObject::connect(&form, &TForm1::Closed, &app, &QApplication::quit);
    if (const QScreen* screen = app.primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}
