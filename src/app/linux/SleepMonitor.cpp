#include "app/linux/SleepMonitor.h"

#include "core/Log.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
}  // namespace

SleepMonitor::SleepMonitor(QDBusConnection systemBus, QObject* parent)
    : QObject(parent), bus_(std::move(systemBus)) {
    if (!bus_.isConnected()) {
        logLine("No D-Bus system bus (%s): pads are not brought up again after sleep",
                qUtf8Printable(bus_.lastError().message()));
        return;
    }
    // Bound to logind's name, so that nobody else on the bus can make the pads restart.
    listening_ = bus_.connect(logindService, managerPath, managerInterface,
                              QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    if (!listening_) {
        logLine("Cannot watch logind for sleep (%s): pads are not brought up again after sleep",
                qUtf8Printable(bus_.lastError().message()));
        return;
    }
    if (bus_.connect(logindService, managerPath, managerInterface,
                     QStringLiteral("PrepareForShutdown"), this, SLOT(prepareForShutdown(bool)))) {
        takeShutdownDelay();
    }
}

void SleepMonitor::takeShutdownDelay() {
    QDBusMessage inhibit = QDBusMessage::createMethodCall(
        logindService, managerPath, managerInterface, QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("shutdown") << QStringLiteral("Quorvel Zodovuvur")
            << QStringLiteral("Clearing the keys of the pads") << QStringLiteral("delay");
    // Asynchronous: a logind that does not answer must not hold up the start.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError()) {
            logLine("No shutdown delay from logind (%s): pads may keep their keys at shutdown",
                    qUtf8Printable(reply.error().message()));
            return;
        }
        shutdownDelay_ = reply.value();
    });
}

void SleepMonitor::prepareForShutdown(bool start) {
    // The program quits at once, so a shutdown called off later (start false) changes nothing.
    if (start) {
        Q_EMIT shuttingDown();
    }
}

void SleepMonitor::prepareForSleep(bool start) {
    if (start) {
        Q_EMIT goingToSleep();
    } else {
        Q_EMIT resumed();
    }
}
