#include "actions/linux/MprisNowPlaying.h"

#include "core/MainThread.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>

#include <optional>

namespace {

const QString playerPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString playerPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// What the queue's tasks need; they run on the queue's thread and keep no pointer to the
// object that queued them.
struct Bus {
    QString connectionName;
    int timeoutMs;

    QDBusConnection connection() const { return QDBusConnection(connectionName); }

    std::optional<QDBusMessage> call(const QDBusMessage& message) const {
        const QDBusMessage reply = connection().call(message, QDBus::Block, timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            return std::nullopt;
        }
        return reply;
    }

    QStringList players() const {
        if (!connection().isConnected()) {
            return {};
        }
        const auto reply = call(QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames"));
        if (!reply || reply->arguments().isEmpty()) {
            return {};
        }
        QStringList names;
        for (const QString& name : reply->arguments().constFirst().toStringList()) {
            if (name.startsWith(playerPrefix)) {
                names << name;
            }
        }
        names.sort();
        return names;
    }

    QString playbackStatus(const QString& player) const {
        QDBusMessage get = QDBusMessage::createMethodCall(player, playerPath,
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << playerInterface << QStringLiteral("PlaybackStatus");
        const auto reply = call(get);
        if (!reply || reply->arguments().isEmpty()) {
            return {};
        }
        return reply->arguments().constFirst().value<QDBusVariant>().variant().toString();
    }

    // The first playing player, else the first player; empty when there is none.
    std::optional<std::pair<QString, bool>> currentPlayer() const {
        const QStringList names = players();
        for (const QString& name : names) {
            if (playbackStatus(name) == QLatin1String("Playing")) {
                return std::make_pair(name, true);
            }
        }
        if (names.isEmpty()) {
            return std::nullopt;
        }
        return std::make_pair(names.constFirst(), false);
    }
};

QString methodFor(MediaCommand command) {
    switch (command) {
        case MediaCommand::previousTrack:
            return QStringLiteral("Previous");
        case MediaCommand::playPause:
            return QStringLiteral("PlayPause");
        case MediaCommand::nextTrack:
            return QStringLiteral("Next");
    }
    return {};
}

QAtomicInteger<quint64> connectionCounter;

}  // namespace

MprisNowPlaying::MprisNowPlaying(QString busAddress, std::chrono::milliseconds callTimeout)
    : timeoutMs_(static_cast<int>(callTimeout.count())) {
    if (busAddress.isEmpty()) {
        connectionName_ = QDBusConnection::sessionBus().name();
    } else {
        connectionName_ =
            QStringLiteral("quorvel-mpris-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
        QDBusConnection::connectToBus(busAddress, connectionName_);
    }
}

MprisNowPlaying::~MprisNowPlaying() {
    queue_.shutdown();
    if (connectionName_.startsWith(QLatin1String("quorvel-mpris-"))) {
        QDBusConnection::disconnectFromBus(connectionName_);
    }
}

bool MprisNowPlaying::isAvailable() {
    return QDBusConnection(connectionName_).isConnected();
}

void MprisNowPlaying::sendCommand(MediaCommand command, std::function<void(bool)> done) {
    const Bus bus{connectionName_, timeoutMs_};
    // Runs on the queue's thread.
    queue_.async([bus, command, done = std::move(done)] {
        bool accepted = false;
        if (const auto player = bus.currentPlayer()) {
            accepted = bus.call(QDBusMessage::createMethodCall(player->first, playerPath,
                                                               playerInterface, methodFor(command)))
                           .has_value();
        }
        runOnMain([done, accepted] { done(accepted); });
    });
}

void MprisNowPlaying::requestIsPlaying(std::function<void(bool)> done) {
    const Bus bus{connectionName_, timeoutMs_};
    // Runs on the queue's thread.
    queue_.async([bus, done = std::move(done)] {
        const auto player = bus.currentPlayer();
        const bool playing = player && player->second;
        runOnMain([done, playing] { done(playing); });
    });
}
