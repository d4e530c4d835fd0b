#include "Client.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QUuid>

namespace {

const QString notRunning = QStringLiteral("Quorvel Zodovuvur is not running");

int exitCodeOf(const QString& errorName) {
    static const QStringList noSuchObject = {
        QStringLiteral("org.quorvel.Zodovuvur.Error.NoSuchButton"),
        QStringLiteral("org.quorvel.Zodovuvur.Error.NoSuchDevice"),
        QStringLiteral("org.quorvel.Zodovuvur.Error.NoSuchBadge"),
        // A path kept from an earlier run whose button is gone.
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
    };
    static const QStringList gone = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
    };
    if (noSuchObject.contains(errorName)) {
        return exitNoSuchObject;
    }
    if (gone.contains(errorName)) {
        return exitNotRunning;
    }
    return exitRefused;
}

}  // namespace

Client::Client() : bus_(QDBusConnection::sessionBus()) {
    if (!bus_.isConnected()) {
        throw CtlFailure(exitNotRunning, QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                         notRunning + QStringLiteral(" (no D-Bus session bus: ") +
                             bus_.lastError().message() + QLatin1Char(')'));
    }
    const QDBusReply<bool> registered =
        bus_.interface()->isServiceRegistered(QString::fromLatin1(service));
    if (!registered.isValid() || !registered.value()) {
        throw CtlFailure(exitNotRunning,
                         QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"), notRunning);
    }
}

QDBusMessage Client::call(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments) const {
    const QString fullInterface =
        interface.contains(QLatin1Char('.')) ? interface : QString::fromLatin1(interfacePrefix) + interface;
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromLatin1(service), path, fullInterface, method);
    message.setArguments(arguments);
    // Loading a large icon may take a moment; a program that hangs must still not hang us.
    const QDBusMessage reply = bus_.call(message, QDBus::Block, 30000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const int code = exitCodeOf(reply.errorName());
        throw CtlFailure(code, reply.errorName(),
                         code == exitNotRunning ? notRunning : reply.errorMessage());
    }
    return reply;
}

QString Client::callForPath(const QString& path, const QString& interface, const QString& method,
                            const QVariantList& arguments) const {
    return qvariant_cast<QDBusObjectPath>(
               call(path, interface, method, arguments).arguments().value(0))
        .path();
}

QVariantMap Client::properties(const QString& path, const QString& interface) const {
    const QDBusMessage reply =
        call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
             {QString::fromLatin1(interfacePrefix) + interface});
    return qdbus_cast<QVariantMap>(reply.arguments().value(0));
}

QStringList Client::paths(const QString& path, const QString& interface,
                          const QString& property) const {
    const QDBusMessage reply =
        call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {QString::fromLatin1(interfacePrefix) + interface, property});
    const QVariant value = qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant();
    QStringList result;
    for (const QDBusObjectPath& each : qdbus_cast<QList<QDBusObjectPath>>(value)) {
        result.append(each.path());
    }
    return result;
}

QString Client::device(const QString& idOrName) const {
    const QString application = QString::fromLatin1(root);
    for (const QString& path :
         paths(application, QStringLiteral("Application"), QStringLiteral("Devices"))) {
        const QVariantMap device = properties(path, QStringLiteral("Device"));
        if (device.value(QStringLiteral("UniqueID")).toString() == idOrName) {
            return path;
        }
    }
    // Names come second: an id is exact, while two pads may carry the same name.
    for (const QString& path :
         paths(application, QStringLiteral("Application"), QStringLiteral("Devices"))) {
        const QVariantMap device = properties(path, QStringLiteral("Device"));
        if (device.value(QStringLiteral("Name")).toString() == idOrName) {
            return path;
        }
    }
    throw CtlFailure(exitNoSuchObject, QStringLiteral("org.quorvel.Zodovuvur.Error.NoSuchDevice"),
                     QStringLiteral("No device has the id or name \"%1\"").arg(idOrName));
}

QString Client::button(const QString& idOrName, bool byName,
                       const std::optional<QString>& devicePath) const {
    const QString application = QString::fromLatin1(root);
    if (!byName && !QUuid::fromString(idOrName).isNull() && idOrName.size() == 36) {
        const QString path = callForPath(application, QStringLiteral("Application"),
                                         QStringLiteral("ScreenButtonWithID"), {idOrName});
        if (devicePath && !path.startsWith(*devicePath + QLatin1Char('/'))) {
            throw CtlFailure(
                exitNoSuchObject, QStringLiteral("org.quorvel.Zodovuvur.Error.NoSuchButton"),
                QStringLiteral("The screen button \"%1\" is on another device").arg(idOrName));
        }
        return path;
    }
    if (devicePath) {
        return callForPath(*devicePath, QStringLiteral("Device"),
                           QStringLiteral("ScreenButtonsWithName"), {idOrName});
    }
    return callForPath(application, QStringLiteral("Application"),
                       QStringLiteral("ScreenButtonsWithName"), {idOrName});
}
