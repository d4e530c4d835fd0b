#include "shell/UpdateChecker.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

namespace {
// The answer is a few dozen bytes; anything far larger is not it and is not read whole.
constexpr qint64 maximumBodyBytes = 64 * 1024;
constexpr std::chrono::milliseconds requestTimeout{20000};

using Version = std::array<int, 3>;

// Exactly three dot-separated runs of ASCII digits, each fitting an int.
std::optional<Version> components(const QString& text) {
    const QStringList pieces = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (pieces.size() != 3) {
        return std::nullopt;
    }
    Version version{};
    for (int i = 0; i < 3; ++i) {
        const QString& piece = pieces[i];
        if (piece.isEmpty()) {
            return std::nullopt;
        }
        for (QChar c : piece) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return std::nullopt;
            }
        }
        bool ok = false;
        version[static_cast<size_t>(i)] = piece.toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    return version;
}
}  // namespace

namespace UpdateChecker {

bool enabled() {
    return website().isValid() && !website().isEmpty();
}

QUrl website() {
#ifdef QUORVEL_UPDATE_SITE
    return QUrl(QStringLiteral(QUORVEL_UPDATE_SITE));
#else
    return {};
#endif
}

QUrl endpoint(const QUrl& site) {
    QUrl url = site;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    url.setPath(path + QStringLiteral("latest-version"));
    return url;
}

Result result(const QByteArray& data, int statusCode, const QString& currentVersion) {
    if (statusCode < 200 || statusCode > 299) {
        return Result::unableToCheck;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return Result::unableToCheck;
    }
    const QJsonValue latestValue = document.object().value(QStringLiteral("latestVersion"));
    if (!latestValue.isString()) {
        return Result::unableToCheck;
    }
    const auto latest = components(latestValue.toString());
    const auto current = components(currentVersion);
    if (!latest || !current) {
        return Result::unableToCheck;
    }
    return *current < *latest ? Result::newerVersion : Result::upToDate;
}

void check(QNetworkAccessManager& network, const QUrl& endpoint, const QString& currentVersion,
           std::function<void(Result)> completion) {
    QNetworkRequest request(endpoint);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(requestTimeout.count()));
    request.setRawHeader("Accept", "application/json");
    QNetworkReply* reply = network.get(request);

    auto body = std::make_shared<QByteArray>();
    auto oversized = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, oversized] {
        body->append(reply->readAll());
        if (body->size() > maximumBodyBytes) {
            *oversized = true;
            reply->abort();
        }
    });
    QObject::connect(
        reply, &QNetworkReply::finished, reply,
        [reply, body, oversized, currentVersion, completion = std::move(completion)] {
            reply->deleteLater();
            body->append(reply->readAll());
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            if (*oversized || reply->error() != QNetworkReply::NoError || !status.isValid()) {
                completion(Result::unableToCheck);
                return;
            }
            completion(result(*body, status.toInt(), currentVersion));
        });
}

void check(std::function<void(Result)> completion) {
    if (!enabled()) {
        // Still asynchronous, as callers expect of a check.
        QTimer::singleShot(0, QCoreApplication::instance(), [completion = std::move(completion)] {
            completion(Result::unableToCheck);
        });
        return;
    }
    // One network access for the life of the program, owned by the application object.
    static QPointer<QNetworkAccessManager> network;
    if (!network) {
        network = new QNetworkAccessManager(QCoreApplication::instance());
    }
    check(*network, endpoint(website()), QCoreApplication::applicationVersion(),
          std::move(completion));
}

}  // namespace UpdateChecker
