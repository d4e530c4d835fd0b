#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <ostream>

class QProcess;

// Readable gtest output for Qt values.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << "[" << bytes.toHex(' ').toStdString() << "]";
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '(' << list.join(", ").toStdString() << ')';
}

// Waits for `condition` while the main thread's event loop keeps running; true when it became
// true before the deadline. Tests wait on conditions, never on fixed sleeps.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Collects log lines while alive (restores the previous sink afterwards).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    bool contains(const QString& line) const;

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

// The message of the ActionError that `call` throws, or "(no error)" when it returns normally.
QString actionErrorOf(const std::function<void()>& call);

// Bytes from a string of hexadecimal pairs such as "11 80 00 00 01" (spaces ignored).
QByteArray hexBytes(const char* text);

// Makes a server or helper that `process` starts end with the test process however the test
// ends (a sanitizer halt or a crash included): the kernel kills the child when its parent dies.
// Call before `start`.
void endWithTest(QProcess& process);

// The whole file, or empty bytes when it cannot be read.
QByteArray readFile(const QString& path);

// Whether process `pid` has ended (a zombie nobody has reaped yet counts as ended).
bool processGone(qint64 pid);

class QColor;
// Colours equal within `tolerance` per channel, alpha aside (JPEG and RGB565 are lossy).
bool near(const QColor& actual, const QColor& expected, int tolerance = 3);

// The device ids of the virtual DisplayPad and MSD-TWO that --simulate adds.
QString virtualDisplayPadID();
QString virtualMsdTwoID();

// A DisplayPad key-state report (48 bytes, or `size`) with the given keys 1...12 down.
QByteArray displayPadKeyReport(std::initializer_list<int> keys, int size = 48);
// An MSD-TWO "ACK .. OK" input report carrying `control` at byte 9, padded with `padding` bytes
// of `fill` after it.
QByteArray msdTwoReport(int control, int padding = 6, char fill = '\x7f');

// Lets gtest's failure messages take Qt text as they are: EXPECT_...() << name.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
