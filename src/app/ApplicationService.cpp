#include "app/ApplicationService.h"

#include "app/QuorvelApplication.h"

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QUrl>

namespace {
// A launcher waits for the answer; the running copy answers at once, since opening only queues
// the bundles.
constexpr int callTimeout = 25000;
}  // namespace

ApplicationService::ApplicationService(QObject* host, QDBusConnection bus, Handlers handlers)
    : QDBusAbstractAdaptor(host), bus_(std::move(bus)), handlers_(std::move(handlers)) {
    setAutoRelaySignals(false);
}

void ApplicationService::refuse(const QDBusMessage& call, const QString& message) {
    call.setDelayedReply(true);
    bus_.send(
        call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"), message));
}

std::optional<QStringList> ApplicationService::bundleURIs(const QStringList& arguments,
                                                          const QString& workingFolder,
                                                          QString* problem) {
    QStringList uris;
    for (const QString& argument : arguments) {
        // File managers hand over "file:" URIs (%U), shells hand over paths (%F or typed); a
        // path may itself hold a colon, so only these two forms count as URIs.
        QUrl url;
        if (argument.startsWith(QLatin1String("file:"))) {
            url = QUrl(argument, QUrl::StrictMode);
        } else if (argument.contains(QLatin1String("://"))) {
            *problem =
                QStringLiteral("%1 is not a settings bundle on this computer.").arg(argument);
            return std::nullopt;
        } else {
            url = QUrl::fromLocalFile(
                QDir::cleanPath(QDir(workingFolder).absoluteFilePath(argument)));
        }
        if (!url.isValid() || !url.isLocalFile()) {
            *problem = QStringLiteral("%1 is not a valid file URI.").arg(argument);
            return std::nullopt;
        }
        uris.append(QString::fromUtf8(url.toEncoded()));
    }
    return uris;
}

std::optional<QStringList> ApplicationService::localPaths(const QStringList& uris,
                                                          QString* problem) {
    QStringList paths;
    for (const QString& uri : uris) {
        const QUrl url(uri, QUrl::StrictMode);
        if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty() ||
            QDir::isRelativePath(url.toLocalFile())) {
            *problem = QStringLiteral("%1 is not a local file URI").arg(uri);
            return std::nullopt;
        }
        paths.append(QDir::cleanPath(url.toLocalFile()));
    }
    return paths;
}

int ApplicationService::handOver(QDBusConnection bus, const QStringList& uris, bool background,
                                 QTextStream& out, QTextStream& err) {
    out << "Quorvel Zodovuvur is already running; this copy exits.\n";
    if (background && uris.isEmpty()) {
        return 0;
    }
    const bool opening = !uris.isEmpty();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(QuorvelApplication::serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName),
        opening ? QStringLiteral("Open") : QStringLiteral("Activate"));
    if (opening) {
        call << uris;
    }
    call << QVariantMap();
    QDBusMessage reply;
    if (bus.isConnected()) {
        // The copy that just won the name offers this interface a moment later, once its store
        // exists; a start racing it asks again for a few seconds.
        QDeadlineTimer deadline(std::chrono::seconds(5));
        reply = bus.call(call, QDBus::Block, callTimeout);
        while (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") &&
               !deadline.hasExpired()) {
            QThread::msleep(100);
            reply = bus.call(call, QDBus::Block, callTimeout);
        }
    }
    if (reply.type() == QDBusMessage::ReplyMessage) {
        out << (opening ? "The running copy opens the settings bundles.\n"
                        : "The running copy shows its configuration window.\n");
        return 0;
    }
    const QString why =
        bus.isConnected() ? reply.errorMessage() : QStringLiteral("there is no session bus");
    if (opening) {
        err << "The running copy could not be asked to open the settings bundles (" << why
            << ").\n";
        return 1;
    }
    // Nothing is lost when the window cannot be shown: the running copy goes on as it was.
    err << "The running copy could not be asked to show its window (" << why << ").\n";
    return 0;
}

void ApplicationService::Activate(const QVariantMap&) {
    handlers_.activate();
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap&,
                              const QDBusMessage& call) {
    QString problem;
    const std::optional<QStringList> paths = localPaths(uris, &problem);
    if (!paths) {
        refuse(call, problem);
        return;
    }
    handlers_.open(*paths);
}

void ApplicationService::ActivateAction(const QString& actionName, const QVariantList&,
                                        const QVariantMap&, const QDBusMessage& call) {
    if (actionName == QLatin1String("configure")) {
        handlers_.activate();
    } else if (actionName == QLatin1String("quit")) {
        handlers_.quit();
    } else {
        refuse(call, QStringLiteral("Quorvel Zodovuvur has no action %1").arg(actionName));
    }
}
