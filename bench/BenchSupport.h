#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

// Runs the event loop until `condition` holds; false after 10 s. Benchmarks that drive a pad
// through the main thread wait on it rather than sleeping.
template <typename Condition>
bool pump(Condition condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}
