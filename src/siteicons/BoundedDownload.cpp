#include "siteicons/BoundedDownload.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

bool isWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

}  // namespace

BoundedDownload::BoundedDownload(const QUrl& url, qint64 limit, Completion completion)
    : BoundedDownload(url, limit, std::move(completion), Settings{}) {
}

BoundedDownload::BoundedDownload(const QUrl& url, qint64 limit, Completion completion,
                                 Settings settings)
    : limit_(limit), settings_(std::move(settings)), completion_(std::move(completion)) {
    network_ = std::make_unique<QNetworkAccessManager>();
    // Nothing is kept between downloads, and no answer comes from a cache.
    network_->setCookieJar(nullptr);
    if (settings_.timeout.count() > 0) {
        deadline_ = std::make_unique<QTimer>();
        deadline_->setSingleShot(true);
        QObject::connect(deadline_.get(), &QTimer::timeout, this, [this] {
            fail(Failure::timedOut,
                 QStringLiteral("Timed out after %1 s").arg(settings_.timeout.count() / 1000.0));
        });
        deadline_->start(settings_.timeout);
    }
    start(url);
}

BoundedDownload::~BoundedDownload() {
    cancel();
}

void BoundedDownload::cancel() {
    cancelled_ = true;
    completion_ = nullptr;
    stopTransfer();
}

// Deleting a reply ends its transfer and closes the connection. It is deleted rather than
// aborted: aborting a reply whose error status Qt is still processing reports the error twice.
void BoundedDownload::stopTransfer() {
    finished_ = true;
    if (deadline_) {
        deadline_->stop();
    }
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->deleteLater();
    }
}

void BoundedDownload::start(const QUrl& url) {
    if (!isWebScheme(url)) {
        fail(Failure::unsupportedURL,
             QStringLiteral("Only http and https addresses are fetched, not “%1”")
                 .arg(url.toDisplayString()));
        return;
    }
    QNetworkRequest request(url);
    // Redirects are followed here, so that each step is checked for its scheme and counted.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(int(settings_.idleTimeout.count()));
    if (!settings_.userAgent.isEmpty()) {
        request.setHeader(QNetworkRequest::UserAgentHeader, settings_.userAgent);
    }
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, this, &BoundedDownload::checkHeaders);
    QObject::connect(reply, &QNetworkReply::readyRead, this, &BoundedDownload::receive);
    QObject::connect(reply, &QNetworkReply::finished, this, &BoundedDownload::transferFinished);
}

void BoundedDownload::checkHeaders() {
    if (!reply_ || finished_) {
        return;
    }
    const QVariant statusValue = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusValue.isValid()) {
        return;
    }
    const int status = statusValue.toInt();
    const QUrl target = reply_->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (status >= 300 && status <= 399 && target.isValid() && !target.isEmpty()) {
        const QUrl next = reply_->url().resolved(target);
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->deleteLater();
        if (++redirects_ > settings_.maxRedirects) {
            fail(Failure::network, QStringLiteral("More than %1 redirects, last to “%2”")
                                       .arg(settings_.maxRedirects)
                                       .arg(next.toDisplayString()));
        } else if (!isWebScheme(next)) {
            fail(Failure::unsupportedURL,
                 QStringLiteral("Redirected to “%1”, which is not an http or https address")
                     .arg(next.toDisplayString()));
        } else {
            start(next);
        }
        return;
    }
    if (status < 200 || status > 299) {
        fail(Failure::httpStatus, QStringLiteral("The server answered with status %1").arg(status),
             status);
        return;
    }
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limit_) {
        fail(Failure::tooLarge, QStringLiteral("Announced %1 bytes, more than the limit of %2")
                                    .arg(length.toLongLong())
                                    .arg(limit_));
    }
}

void BoundedDownload::receive() {
    if (!reply_ || finished_ || !reply_->isOpen()) {
        return;
    }
    const qint64 available = reply_->bytesAvailable();
    if (data_.size() + available > limit_) {
        fail(Failure::tooLarge, QStringLiteral("More than the limit of %1 bytes").arg(limit_));
        return;
    }
    data_.append(reply_->readAll());
}

void BoundedDownload::transferFinished() {
    if (!reply_ || finished_) {
        return;
    }
    // Headers that never came through metaDataChanged (an error page without a body) are
    // judged here, so that a status or redirect is never taken for success.
    checkHeaders();
    if (!reply_ || finished_) {
        return;
    }
    receive();
    if (!reply_ || finished_) {
        return;
    }
    const QNetworkReply::NetworkError error = reply_->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        fail(Failure::timedOut,
             QStringLiteral("No answer for %1 s").arg(settings_.idleTimeout.count() / 1000.0));
        return;
    }
    if (error != QNetworkReply::NoError) {
        fail(Failure::network, reply_->errorString());
        return;
    }
    if (!reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        fail(Failure::network, QStringLiteral("The answer was not an HTTP response"));
        return;
    }
    Result result;
    result.data = std::move(data_);
    result.url = reply_->url();
    finish(std::move(result));
}

void BoundedDownload::fail(Failure failure, const QString& message, int status) {
    Result result;
    result.url = reply_ ? reply_->url() : QUrl();
    result.error = Error{failure, status, message};
    finish(std::move(result));
}

void BoundedDownload::finish(Result result) {
    if (finished_) {
        return;
    }
    Completion completion = std::move(completion_);
    completion_ = nullptr;
    stopTransfer();
    data_.clear();
    if (!completion) {
        return;
    }
    // Called from a later turn of the event loop, not from inside the reply's signal, so that
    // the completion may destroy this download (and with it the network access manager).
    QPointer<BoundedDownload> self(this);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, completion = std::move(completion), result = std::move(result)] {
            if (self && !self->cancelled_) {
                completion(result);
            }
        },
        Qt::QueuedConnection);
}
