#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Downloads one address into memory, never keeping more than `limit` bytes: a body announced or
// found to be larger is aborted while it arrives. Each download has its own network access
// manager, so no cookies or cached answers are shared with anything else.
//
// Starts at once. Redirects are followed by hand, only to http and https, at most
// `Settings::maxRedirects` times. The completion runs exactly once, on a later turn of the main
// thread's event loop, unless the download is cancelled or destroyed first; it may destroy the
// download. Main thread only.
class BoundedDownload : public QObject {
    Q_OBJECT

public:
    enum class Failure {
        httpStatus,      // the server answered with a status outside 200...299 (`status`)
        tooLarge,        // the body is announced or found to be larger than the limit
        unsupportedURL,  // not an http or https address, or a redirect to one
        timedOut,        // no byte for `idleTimeout`, or the whole transfer exceeded `timeout`
        network,         // anything else the connection reports (refused, reset, bad reply...)
    };

    struct Error {
        Failure failure = Failure::network;
        int status = 0;  // the HTTP status for httpStatus
        QString message;
    };

    struct Result {
        QByteArray data;
        QUrl url;  // after redirects
        std::optional<Error> error;
    };

    struct Settings {
        // Longest wait for the next byte (connection, headers and body alike).
        std::chrono::milliseconds idleTimeout{60000};
        // Longest time for the whole transfer; zero means no such limit.
        std::chrono::milliseconds timeout{0};
        QByteArray userAgent;  // empty: Qt's default
        int maxRedirects = 10;
    };

    using Completion = std::function<void(const Result& result)>;

    BoundedDownload(const QUrl& url, qint64 limit, Completion completion, Settings settings);
    BoundedDownload(const QUrl& url, qint64 limit, Completion completion);
    ~BoundedDownload() override;

    // Stops the transfer; the completion is never called.
    void cancel();

    qint64 limit() const { return limit_; }

private:
    void start(const QUrl& url);
    void checkHeaders();
    void receive();
    void transferFinished();
    void finish(Result result);
    void stopTransfer();
    void fail(Failure failure, const QString& message, int status = 0);

    const qint64 limit_;
    const Settings settings_;
    Completion completion_;
    QByteArray data_;
    std::unique_ptr<QNetworkAccessManager> network_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QTimer> deadline_;
    int redirects_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
};
