#include "ui/main/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

void QtDispatcher::Run(const std::function<void()>& step) {
    QCoreApplication* app = QCoreApplication::instance();
    // A blocking queued call from the UI thread itself would wait for itself forever.
    if (!app || QThread::currentThread() == app->thread()) {
        step();
        return;
    }
    QMetaObject::invokeMethod(app, step, Qt::BlockingQueuedConnection);
}
