#pragma once

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <mutex>

// logind's session object as far as brightness goes: SetBrightness records the call and, like
// the real service, writes the value into the (fake) sysfs folder.
class FakeLogindSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public:
    explicit FakeLogindSession(QString sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

    QStringList calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

public Q_SLOTS:
    void SetBrightness(const QString& subsystem, const QString& name, uint value) {
        {
            std::lock_guard lock(mutex_);
            calls_ << QString("%1 %2 %3").arg(subsystem, name).arg(value);
        }
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
    Q_PROPERTY(bool HasAmbientLight READ hasAmbientLight)

public:
    explicit FakeSensorProxy(bool hasLight) : hasLight_(hasLight) {}
    bool hasAmbientLight() const { return hasLight_; }

private:
    bool hasLight_;
};

// Both services on a test bus, answering from their own thread: the code under test calls them
// with blocking calls from the main thread.
class FakeSystemServices {
public:
    FakeSystemServices(const QString& busAddress, const QString& sysfsRoot, bool logind,
                       bool sensor, bool hasLight = true)
        : session_(sysfsRoot), sensor_(hasLight) {
        thread_.start();
        session_.moveToThread(&thread_);
        sensor_.moveToThread(&thread_);
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, name_);
        registered_ = connection.isConnected();
        if (logind) {
            registered_ = registered_ &&
                          connection.registerObject("/org/freedesktop/login1/session/auto",
                                                    &session_, QDBusConnection::ExportAllSlots) &&
                          connection.registerService("org.freedesktop.login1");
        }
        if (sensor) {
            registered_ = registered_ &&
                          connection.registerObject("/net/hadess/SensorProxy", &sensor_,
                                                    QDBusConnection::ExportAllProperties) &&
                          connection.registerService("net.hadess.SensorProxy");
        }
    }
    ~FakeSystemServices() {
        QDBusConnection::disconnectFromBus(name_);
        thread_.quit();
        thread_.wait();
    }

    bool isRegistered() const { return registered_; }
    QStringList logindCalls() const { return session_.calls(); }

private:
    QString name_ = "fake-system-services";
    QThread thread_;
    FakeLogindSession session_;
    FakeSensorProxy sensor_;
    bool registered_ = false;
};
