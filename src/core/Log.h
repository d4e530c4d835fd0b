#pragma once

#include <QString>

#include <functional>

// Diagnostics are plain lines without levels or categories, written to stderr (the journal
// keeps them when the program runs as a desktop service). Safe to call from any thread.
void logLine(const QString& line);

// printf-style convenience for the fixed log lines, for example
// logLine("DisplayPad key %d artwork acknowledged", key). Arguments follow QString::asprintf;
// pass QStrings through qUtf8Printable.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces where log lines go (tests capture them); returns the previous sink. A null sink
// restores stderr. The sink is called with the log's lock held, from the logging thread.
using LogSink = std::function<void(const QString&)>;
LogSink setLogSink(LogSink sink);
