#include "ui/qt_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

namespace quill::ui {

void QtSleeper::Sleep(int milliseconds) {
    platform::Completion never;
    SleepUntil(milliseconds, never);
}

void QtSleeper::SleepUntil(int milliseconds, platform::Completion& done) {
    if (done.Done()) {
        return;
    }
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Called from the thread that finishes the request: the quit is queued to this one, and
    // dropped if the loop is gone by then.
    done.SetListener([&loop] {
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    timer.start(milliseconds);
    // exec() returns at once when the application is quitting; the crawl then ends by its own
    // time-outs, which a quitting application does not wait for anyway.
    loop.exec(QEventLoop::AllEvents);
    done.SetListener(nullptr);
}

void QtEventPump::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace quill::ui
