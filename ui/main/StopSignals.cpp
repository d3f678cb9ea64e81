#include "ui/main/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>

namespace {

int gSignalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    const ssize_t ignored = ::write(gSignalPipe[1], &byte, 1);  // a full pipe already has one waiting
    (void)ignored;
}

}  // namespace

void CloseOnStopSignals(QWidget& window) {
    if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        while (::read(gSignalPipe[0], &byte, 1) > 0) {
        }
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
