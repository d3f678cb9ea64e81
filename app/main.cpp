// ornix-tester: creates the application's windows in their start-up order and runs the event loop.
#include <QApplication>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "link/ExchangeLog.h"
#include "link/UserFormats.h"
#include "ui/main/AppWindows.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/StartOptions.h"
#include "ui/main/StopSignals.h"
#include "ui/widgets/PdfReport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The desktop's own style, except that hints come up after a short pause: the engineer
// reads the meaning of a setting by resting the mouse on it.
class HintTimingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        constexpr int kHintPauseMs = 100;
        if (hint == SH_ToolTip_WakeUpDelay) return kHintPauseMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    // Help and version need no display: answered before Qt starts.
    const StartOptions early = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (early.help || early.version) {
        std::fputs(early.help ? StartOptionsHelp().c_str() : (VersionLine("ornix-tester") + "\n").c_str(), stdout);
        return 0;
    }
    if (early.htmlToPdf && early.error.empty()) {
        // No window: it runs from ornix-cli, perhaps over ssh, with no display at all.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication printer(argc, argv);
        const std::string failure = ConvertHtmlFileToPdf(early.htmlToPdf->first, early.htmlToPdf->second);
        if (failure.empty()) return 0;
        std::fprintf(stderr, "ornix-tester: %s\n", failure.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style ...) out by now.
    std::vector<std::string> args;
    for (const QString& arg : app.arguments().mid(1)) args.push_back(arg.toStdString());
    const StartOptions options = ParseStartOptions(args);
    if (!options.error.empty()) {
        std::fprintf(stderr, "ornix-tester: %s\n", options.error.c_str());
        return 2;
    }
    QApplication::setStyle(new HintTimingStyle(QApplication::style()->name()));
    // The user's date, time and decimal formats are read once, before any worker starts.
    LoadUserFormatsFromSystem();

    const std::string settingsPath = DefaultSettingsPath();
    SetExchangeLogLimit(LoadLogLimitBytes(SettingsFile(settingsPath)));
    TAppWindows windows(settingsPath);
    TForm1& form = windows.Form1;
    if (options.port || options.baudRate || options.devAddr)
        form.ShowLinkSettings(WithStartOptions(LoadLinkSettings(SettingsFile(settingsPath)), options));
    QObject::connect(&form, &TForm1::Closed, &app, &QApplication::quit);
    CloseOnStopSignals(form);
    if (!form.RestoreWindowLayout())
        if (const QScreen* screen = app.primaryScreen())
            form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    // Pressed like the engineer presses it, once the event loop runs.
    if (options.pollOnStart) QTimer::singleShot(0, form.PollButton, &QPushButton::click);
    return app.exec();
}
