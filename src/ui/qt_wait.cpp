#include "ui/qt_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace quill::ui {

void QtSleeper::Sleep(int milliseconds) {
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    // exec() returns at once when the application is quitting; the crawl then ends by its own
    // time-outs, which a quitting application does not wait for anyway.
    loop.exec(QEventLoop::AllEvents);
}

void QtEventPump::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace quill::ui
