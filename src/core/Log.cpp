#include "core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}
LogSink& currentSink() {
    static LogSink sink;
    return sink;
}
}  // namespace

void logLine(const QString& line) {
    std::lock_guard lock(logMutex());
    if (auto& sink = currentSink()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

void logLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const QString line = QString::vasprintf(format, args);
    va_end(args);
    logLine(line);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard lock(logMutex());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}
