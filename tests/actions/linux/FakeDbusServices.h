#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <mutex>

// A media player owning org.mpris.MediaPlayer2.<name> on its own connection. With `refuse` it
// answers every command with an error, as a player that cannot be controlled does.
class FakeMprisPlayer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus MEMBER status)

public:
    FakeMprisPlayer(const QString& bus, const QString& name, QString playbackStatus)
        : status(std::move(playbackStatus)), connection_("fake-player-" + name) {
        QDBusConnection connection = QDBusConnection::connectToBus(bus, connection_);
        registered = connection.registerObject(
                         "/org/mpris/MediaPlayer2", this,
                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                     connection.registerService("org.mpris.MediaPlayer2." + name);
    }
    ~FakeMprisPlayer() override { QDBusConnection::disconnectFromBus(connection_); }

    QString status;
    bool registered = false, refuse = false;
    int next = 0, previous = 0, playPause = 0;

public Q_SLOTS:
    void Next() { count(next); }
    void Previous() { count(previous); }
    void PlayPause() { count(playPause); }

private:
    void count(int& counter) {
        refuse ? sendErrorReply(QDBusError::NotSupported, "This player cannot be controlled")
               : void(++counter);
    }
    QString connection_;
};

// logind's session: SetBrightness records the call and, as the real one does, writes the value
// into the (fake) sysfs folder.
class FakeLogindSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public:
    explicit FakeLogindSession(QString sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}
    QStringList calls() const { return std::lock_guard(mutex_), calls_; }

public Q_SLOTS:
    void SetBrightness(const QString& subsystem, const QString& name, uint value) {
        std::lock_guard lock(mutex_);
        calls_ << QString("%1 %2 %3").arg(subsystem, name).arg(value);
        QFile file(QDir(sysfsRoot_).filePath(name + "/brightness"));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QByteArray::number(value));
        }
    }

private:
    QString sysfsRoot_;
    mutable std::mutex mutex_;
    QStringList calls_;
};

// iio-sensor-proxy's answer to whether there is an ambient light sensor.
class FakeSensorProxy : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.hadess.SensorProxy")
    Q_PROPERTY(bool HasAmbientLight MEMBER hasLight)

public:
    bool hasLight = true;
};

// logind and the sensor proxy, each when asked for, answering from their own thread: the code
// under test calls them with blocking calls from the main thread.
class FakeSystemServices {
public:
    FakeSystemServices(const QString& bus, const QString& sysfsRoot, bool logind, bool sensor,
                       bool hasLight = true)
        : session(sysfsRoot) {
        sensor_.hasLight = hasLight;
        thread_.start();
        session.moveToThread(&thread_);
        sensor_.moveToThread(&thread_);
        QDBusConnection connection = QDBusConnection::connectToBus(bus, "fake-system-services");
        registered =
            connection.isConnected() &&
            (!logind || (connection.registerObject("/org/freedesktop/login1/session/auto", &session,
                                                   QDBusConnection::ExportAllSlots) &&
                         connection.registerService("org.freedesktop.login1"))) &&
            (!sensor || (connection.registerObject("/net/hadess/SensorProxy", &sensor_,
                                                   QDBusConnection::ExportAllProperties) &&
                         connection.registerService("net.hadess.SensorProxy")));
    }
    ~FakeSystemServices() {
        QDBusConnection::disconnectFromBus("fake-system-services");
        thread_.quit();
        thread_.wait();
    }

    FakeLogindSession session;
    bool registered = false;

private:
    QThread thread_;
    FakeSensorProxy sensor_;
};
