#pragma once

#include "core/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

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

// main() of a benchmark program: the registered benchmarks run inside a Qt application of type
// `App`. Log lines are part of the measured cost but not of the report, so they are dropped.
// `prepare` runs once the application exists; when it returns false nothing is measured.
template <typename App, typename Prepare = bool (*)()>
int runBenchmarks(
    int argc, char** argv, Prepare prepare = [] { return true; }) {
    App app(argc, argv);
    setLogSink([](const QString&) {});
    if (!prepare()) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
