#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

// A media player on a test bus: it owns org.mpris.MediaPlayer2.<name> on its own connection,
// answers PlaybackStatus, and counts the commands it receives. With `refuse` set it answers
// every command with an error, as a player that cannot be controlled does.
class FakeMprisPlayer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)

public:
    FakeMprisPlayer(const QString& busAddress, const QString& name, QString status)
        : connectionName_("fake-player-" + name), status_(std::move(status)) {
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, connectionName_);
        registered_ = connection.registerObject(
                          "/org/mpris/MediaPlayer2", this,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                      connection.registerService("org.mpris.MediaPlayer2." + name);
    }
    ~FakeMprisPlayer() override { QDBusConnection::disconnectFromBus(connectionName_); }

    bool isRegistered() const { return registered_; }
    QString playbackStatus() const { return status_; }
    void setStatus(const QString& status) { status_ = status; }

    int next = 0;
    int previous = 0;
    int playPause = 0;
    bool refuse = false;

public Q_SLOTS:
    void Next() { count(next); }
    void Previous() { count(previous); }
    void PlayPause() { count(playPause); }

private:
    void count(int& counter) {
        if (refuse) {
            sendErrorReply(QDBusError::NotSupported, "This player cannot be controlled");
            return;
        }
        ++counter;
    }

    QString connectionName_;
    QString status_;
    bool registered_ = false;
};
