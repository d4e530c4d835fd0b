#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

// Tells when the computer is about to sleep and when it has woken up, from systemd-logind's
// PrepareForSleep signal on the system bus. A pad keeps its screen but falls back to its own mode
// while the computer sleeps, so the program has to bring it up again afterwards.
//
// No inhibitor lock is taken for sleep: nothing needs to reach the pads before sleep, so sleep is
// never delayed on the program's account. For shutdown and reboot a delay lock is held, so that
// the pads' quit frames are painted before systemd stops the session (logind waits at most its
// InhibitDelayMaxSec, 5 s by default); releaseShutdownDelay() lets the shutdown go on.
//
// Threads: main thread; the signals are emitted there.
class SleepMonitor : public QObject {
    Q_OBJECT

public:
    // Listens on `systemBus`. Without a connected bus (or when the match cannot be added) it
    // logs that pads will not be brought up again after sleep and never signals.
    explicit SleepMonitor(QDBusConnection systemBus, QObject* parent = nullptr);

    bool isListening() const { return listening_; }
    // Closes the shutdown delay lock, if one is held.
    void releaseShutdownDelay() { shutdownDelay_ = QDBusUnixFileDescriptor(); }

Q_SIGNALS:
    void goingToSleep();
    void resumed();
    // The computer is about to shut down or reboot.
    void shuttingDown();

private Q_SLOTS:
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);

private:
    void takeShutdownDelay();

    QDBusConnection bus_;
    QDBusUnixFileDescriptor shutdownDelay_;
    bool listening_ = false;
};
