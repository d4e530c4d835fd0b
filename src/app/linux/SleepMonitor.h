#pragma once

#include <QDBusConnection>
#include <QObject>

// Tells when the computer is about to sleep and when it has woken up, from systemd-logind's
// PrepareForSleep signal on the system bus. A pad keeps its screen but falls back to its own mode
// while the computer sleeps, so the program has to bring it up again afterwards.
//
// No inhibitor lock is taken: nothing needs to reach the pads before sleep, so sleep is never
// delayed on the program's account.
//
// Threads: main thread; the signals are emitted there.
class SleepMonitor : public QObject {
    Q_OBJECT

public:
    // Listens on `systemBus`. Without a connected bus (or when the match cannot be added) it
    // logs that pads will not be brought up again after sleep and never signals.
    explicit SleepMonitor(QDBusConnection systemBus, QObject* parent = nullptr);

    bool isListening() const { return listening_; }

Q_SIGNALS:
    void goingToSleep();
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool start);

private:
    QDBusConnection bus_;
    bool listening_ = false;
};
