#include "FakeWorkspace.h"
#include "actions/OpenTargets.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

TEST(OpenTargets, OnlyHttpAndHttpsAddressesWithAHostAreAccepted) {
    const QUrl none;
    const std::pair<QString, QUrl> cases[] = {
        {"  \n https://example.com/page \t\n", QUrl("https://example.com/page")},
        {"example.com/docs?q=1", QUrl("https://example.com/docs?q=1")},
        {"HTTPS://Example.com/", QUrl("HTTPS://Example.com/")},
        {"Http://example.com", QUrl("Http://example.com")},
        {"http://localhost:3000/app", QUrl("http://localhost:3000/app")},
        // A port without a scheme reads as a scheme of its own.
        {"example.com:8080", none},
        {"localhost:3000/app", none},
        {"ftp://example.com/file", none},
        {"mailto:someone@example.com", none},
        {"file:///etc/hosts", none},
        {"https://", none},
        {"http:///path", none},
        {" \n ", none},
        {"", none},
        {"https://exa mple.com", none},
        {"https://[broken", none},
    };
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(typed.toStdString());
        EXPECT_EQ(OpenTargets::url(typed).value_or(none), expected);
    }
}

TEST(OpenTargets, TildeFolderResolvesInTheHomeFolder) {
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
    const QByteArray previous = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    FakeWorkspace workspace;
    EXPECT_EQ(OpenTargets::folder("~/Documents", workspace), home.filePath("Documents"));
    EXPECT_EQ(OpenTargets::folder("~", workspace), QDir::cleanPath(home.path()));
    qputenv("HOME", previous);
}

TEST(OpenTargets, BrowsersWithEqualNamesKeepTheirOrder) {
    const auto sorted = OpenTargets::sortedBrowsers({{"one", "Same"}, {"two", "same"}});
    ASSERT_EQ(sorted.size(), 2);
    EXPECT_EQ(sorted[0].id, "one");
    EXPECT_EQ(sorted[1].id, "two");
}
