#include "app/linux/SleepMonitor.h"

#include "core/Log.h"

#include <QDBusError>

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
    }
}

void SleepMonitor::prepareForSleep(bool start) {
    if (start) {
        Q_EMIT goingToSleep();
    } else {
        Q_EMIT resumed();
    }
}
