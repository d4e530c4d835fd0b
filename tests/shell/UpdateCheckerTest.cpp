#include "shell/UpdateChecker.h"

#include "support/LoopbackSite.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>

#include <optional>

using UpdateChecker::Result;

TEST(UpdateChecker, ResultComparesThreeNumericComponents) {
    const struct {
        const char* latest;
        int status;
        const char* current;
        Result expected;
    } cases[] = {
        {R"("1.2.10")", 200, "1.2.9", Result::newerVersion},
        {R"("1.2.10")", 200, "1.3.0", Result::upToDate},
        {R"("1.2.3","notes":"x")", 299, "1.2.3", Result::upToDate},
        {R"("1.2")", 200, "1.2.3", Result::unableToCheck},
        {R"("1.2.x")", 200, "1.2.3", Result::unableToCheck},
        {R"("99999999999.0.0")", 200, "1.2.3", Result::unableToCheck},
        {R"("1.2.4")", 200, "", Result::unableToCheck},
        {R"("1.2.4")", 200, "v1.2.3", Result::unableToCheck},
        {R"("1.2.4")", 500, "1.2.3", Result::unableToCheck},
        {"4", 200, "1.2.3", Result::unableToCheck},
    };
    for (const auto& c : cases) {
        const QByteArray body = QByteArray(R"({"latestVersion":)") + c.latest + "}";
        SCOPED_TRACE(body.toStdString() + " " + std::to_string(c.status) + " " + c.current);
        EXPECT_EQ(UpdateChecker::result(body, c.status, c.current), c.expected);
    }
    EXPECT_EQ(UpdateChecker::result("<html>", 200, "1.2.3"), Result::unableToCheck);
    EXPECT_EQ(UpdateChecker::endpoint(QUrl("https://example.org/app")).toString(),
              "https://example.org/app/latest-version");
    EXPECT_EQ(UpdateChecker::endpoint(QUrl("https://example.org/")).toString(),
              "https://example.org/latest-version");
}

namespace {

Result checked(const QUrl& site) {
    static QNetworkAccessManager network;
    std::optional<Result> got;
    UpdateChecker::check(network, UpdateChecker::endpoint(site), "0.1.0",
                         [&](Result r) { got = r; });
    EXPECT_TRUE(waitUntil([&] { return got.has_value(); }));
    return got.value_or(Result::upToDate);
}

}  // namespace

TEST(UpdateChecker, ChecksTheLatestVersionEndpointOverHttpOrNotAtAll) {
    const struct {
        int status;
        QByteArray body;
        Result expected;
    } cases[] = {
        {200, R"({"latestVersion":"0.2.0"})", Result::newerVersion},
        {200, R"({"latestVersion":"0.1.0"})", Result::upToDate},
        {500, R"({"latestVersion":"0.2.0"})", Result::unableToCheck},
        {200, QByteArray(200 * 1024, ' ') + R"({"latestVersion":"0.2.0"})", Result::unableToCheck},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        LoopbackSite site;
        site.serve("/q/latest-version", c.status, c.body);
        EXPECT_EQ(checked(site.url("/q")), c.expected);
        EXPECT_TRUE(site.lastRequest().startsWith("GET /q/latest-version HTTP/1.1\r\n"));
        EXPECT_TRUE(site.lastRequest().contains("\r\nAccept: application/json\r\n"));
    }
    LoopbackSite closed;
    const QUrl refused = closed.url("/q");
    closed.stop();
    EXPECT_EQ(checked(refused), Result::unableToCheck);

    // The test build has no update site: no request, and the answer still comes later.
    ASSERT_FALSE(UpdateChecker::enabled());
    std::optional<Result> got;
    UpdateChecker::check([&](Result r) { got = r; });
    EXPECT_FALSE(got.has_value());
    ASSERT_TRUE(waitUntil([&] { return got.has_value(); }));
    EXPECT_EQ(*got, Result::unableToCheck);
}
