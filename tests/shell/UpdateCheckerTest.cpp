#include "shell/UpdateChecker.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>

using UpdateChecker::Result;

TEST(UpdateChecker, ResultComparesThreeNumericComponents) {
    const struct {
        const char* body;
        int status;
        const char* current;
        Result expected;
    } cases[] = {
        {R"({"latestVersion":"1.2.10"})", 200, "1.2.9", Result::newerVersion},
        {R"({"latestVersion":"1.2.10"})", 200, "1.3.0", Result::upToDate},
        {R"({"latestVersion":"1.2.3","notes":"x"})", 200, "1.2.3", Result::upToDate},
        {R"({"latestVersion":"1.2"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"1.2.3.4"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"1.2.x"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"v1.2.4"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"1..4"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"99999999999.0.0"})", 200, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"1.2.4"})", 200, "", Result::unableToCheck},
        {R"({"latestVersion":"1.2.4"})", 200, "1.2.3-beta", Result::unableToCheck},
        {R"({"latestVersion":"1.2.4"})", 304, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":"1.2.4"})", 500, "1.2.3", Result::unableToCheck},
        {R"({"latestVersion":4})", 200, "1.2.3", Result::unableToCheck},
        {"<html>", 200, "1.2.3", Result::unableToCheck},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.body) + " " + std::to_string(c.status) + " " + c.current);
        EXPECT_EQ(UpdateChecker::result(c.body, c.status, QString::fromLatin1(c.current)),
                  c.expected);
    }
    EXPECT_EQ(UpdateChecker::endpoint(QUrl("https://example.org/app")).toString(),
              "https://example.org/app/latest-version");
    EXPECT_EQ(UpdateChecker::endpoint(QUrl("https://example.org/")).toString(),
              "https://example.org/latest-version");
}

// A loopback server that answers every request with `response` (or never, when empty) and
// keeps the last request it read.
class OneAnswerServer {
public:
    explicit OneAnswerServer(QByteArray response) {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this, response] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, response] {
                request_ += socket->readAll();
                if (request_.contains("\r\n\r\n") && !response.isEmpty()) {
                    socket->write(response);
                    socket->disconnectFromHost();
                }
            });
        });
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
    }
    QUrl site() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/q").arg(server_.serverPort()));
    }
    QByteArray request() const { return request_; }

private:
    QTcpServer server_;
    QByteArray request_;
};

static QByteArray httpResponse(int status, const QByteArray& body) {
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

TEST(UpdateChecker, ChecksTheLatestVersionEndpointOverHttp) {
    const struct {
        QByteArray response;
        Result expected;
    } cases[] = {
        {httpResponse(200, R"({"latestVersion":"0.2.0"})"), Result::newerVersion},
        {httpResponse(200, R"({"latestVersion":"0.1.0"})"), Result::upToDate},
        {httpResponse(500, R"({"latestVersion":"0.2.0"})"), Result::unableToCheck},
        {httpResponse(200, QByteArray(200 * 1024, ' ') + R"({"latestVersion":"0.2.0"})"),
         Result::unableToCheck},
    };
    QNetworkAccessManager network;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response.left(20).toStdString());
        OneAnswerServer server(c.response);
        std::optional<Result> got;
        UpdateChecker::check(network, UpdateChecker::endpoint(server.site()), "0.1.0",
                             [&](Result r) { got = r; });
        ASSERT_TRUE(waitUntil([&] { return got.has_value(); }));
        EXPECT_EQ(*got, c.expected);
        EXPECT_TRUE(server.request().startsWith("GET /q/latest-version HTTP/1.1\r\n"));
        EXPECT_TRUE(server.request().contains("\r\nAccept: application/json\r\n"));
    }

    // Nothing listens any more: the connection is refused.
    QUrl closed;
    {
        OneAnswerServer gone(httpResponse(200, "{}"));
        closed = gone.site();
    }
    std::optional<Result> got;
    UpdateChecker::check(network, UpdateChecker::endpoint(closed), "0.1.0",
                         [&](Result r) { got = r; });
    ASSERT_TRUE(waitUntil([&] { return got.has_value(); }));
    EXPECT_EQ(*got, Result::unableToCheck);
}

TEST(UpdateChecker, WithoutAWebSiteNoRequestIsMade) {
    ASSERT_FALSE(UpdateChecker::enabled()) << "the test build has no update site";
    std::optional<Result> got;
    UpdateChecker::check([&](Result r) { got = r; });
    EXPECT_FALSE(got.has_value()) << "the completion runs later, on the event loop";
    ASSERT_TRUE(waitUntil([&] { return got.has_value(); }));
    EXPECT_EQ(*got, Result::unableToCheck);
}
