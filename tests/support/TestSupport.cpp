#include "support/TestSupport.h"

#include "app/VirtualPads.h"
#include "core/ActionError.h"
#include "core/Log.h"
#include "device/DeviceKind.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer runs several times slower; only a failing wait ever reaches the deadline.
    deadline *= 3;
#endif
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > deadline.count()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

namespace {
LogSink previousSink;
}

LogCapture::LogCapture() {
    previousSink = setLogSink([this](const QString& line) {
        std::lock_guard lock(mutex_);
        lines_ << line;
    });
}

LogCapture::~LogCapture() {
    setLogSink(std::move(previousSink));
}

QStringList LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(const QString& line) const {
    return lines().contains(line);
}

QByteArray hexBytes(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString actionErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ActionError& error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

void endWithTest(QProcess& process) {
    const pid_t parent = getpid();
    process.setChildProcessModifier([parent] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may already have gone between fork and prctl.
        if (getppid() != parent) {
            _exit(1);
        }
    });
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processGone(qint64 pid) {
    // /proc rather than kill(pid, 0): a killed child whose new parent has not reaped it yet
    // still answers a signal but is as good as gone.
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close <= 0 || stat.mid(close + 2, 1) == "Z";
}

#include <QColor>

#include <cstdlib>

bool near(const QColor& actual, const QColor& expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QString virtualDisplayPadID() {
    return DeviceKind(DeviceKind::mountain)
        .identity(VirtualPads::displayPadSerial, VirtualPads::displayPadLocation);
}

QString virtualMsdTwoID() {
    return DeviceKind(DeviceKind::msdTwo)
        .identity(VirtualPads::msdTwoSerial, VirtualPads::msdTwoLocation);
}

QByteArray displayPadKeyReport(std::initializer_list<int> keys, int size) {
    QByteArray report(size, '\0');
    report[0] = 0x01;
    // Keys 1 to 7 are bits 1 to 7 of byte 42, keys 8 to 12 bits 0 to 4 of byte 47.
    for (int key : keys) {
        report[key <= 7 ? 42 : 47] |= static_cast<char>(1 << (key <= 7 ? key : key - 8));
    }
    return report;
}

QByteArray msdTwoReport(int control, int padding, char fill) {
    return QByteArray("ACK\0\0OK\0\0", 9) + static_cast<char>(control) + QByteArray(padding, fill);
}
