#include "FakeWorkspace.h"
#include "actions/OpenTargets.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

QString urlText(const QString& typed) {
    const auto url = OpenTargets::url(typed);
    return url ? url->toString() : QStringLiteral("(none)");
}

// Points the home folder at a temporary one for the life of the object.
class TemporaryHome {
public:
    TemporaryHome() : previous_(qgetenv("HOME")) { qputenv("HOME", dir.path().toUtf8()); }
    ~TemporaryHome() { qputenv("HOME", previous_); }
    QTemporaryDir dir;

private:
    QByteArray previous_;
};

}  // namespace

TEST(OpenTargets, UrlIsTrimmedBeforeItIsChecked) {
    EXPECT_EQ(urlText("  \n https://example.com/page \t\n"), "https://example.com/page");
}

TEST(OpenTargets, BareHostGetsHttpsInFront) {
    EXPECT_EQ(urlText("example.com/docs?q=1"), "https://example.com/docs?q=1");
}

TEST(OpenTargets, SchemeInCapitalsIsAccepted) {
    EXPECT_TRUE(OpenTargets::url("HTTPS://Example.com/").has_value());
    EXPECT_TRUE(OpenTargets::url("Http://example.com").has_value());
}

TEST(OpenTargets, OnlyHttpAndHttpsWithAHostAreAddresses) {
    EXPECT_EQ(urlText("ftp://example.com/file"), "(none)");
    EXPECT_EQ(urlText("mailto:someone@example.com"), "(none)");
    EXPECT_EQ(urlText("file:///etc/hosts"), "(none)");
    EXPECT_EQ(urlText("https://"), "(none)");
    EXPECT_EQ(urlText("http:///path"), "(none)");
    EXPECT_EQ(urlText(" \n "), "(none)");
    EXPECT_EQ(urlText(""), "(none)");
}

TEST(OpenTargets, HostWithPortButNoSchemeIsRefused) {
    EXPECT_EQ(urlText("example.com:8080"), "(none)");
    EXPECT_EQ(urlText("localhost:3000/app"), "(none)");
    EXPECT_EQ(urlText("http://localhost:3000/app"), "http://localhost:3000/app");
}

TEST(OpenTargets, UnparsableTextIsNotAnAddress) {
    EXPECT_EQ(urlText("https://exa mple.com"), "(none)");
    EXPECT_EQ(urlText("https://[broken"), "(none)");
}

TEST(OpenTargets, TildeFolderResolvesInTheHomeFolder) {
    TemporaryHome home;
    ASSERT_TRUE(QDir(home.dir.path()).mkdir("Documents"));
    FakeWorkspace workspace;
    EXPECT_EQ(OpenTargets::folder("~/Documents", workspace), home.dir.filePath("Documents"));
    EXPECT_EQ(OpenTargets::folder("~", workspace), QDir::cleanPath(home.dir.path()));
}

TEST(OpenTargets, OnlyExistingAbsolutePlainFoldersCount) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Plain"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("Example.app"));
    QFile file(dir.filePath("file.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FakeWorkspace workspace;
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Plain"), workspace), dir.filePath("Plain"));
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Example.app"), workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder(file.fileName(), workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder(dir.filePath("missing"), workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder("relative/folder", workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder("", workspace), std::nullopt);
}

TEST(OpenTargets, BrowsersSortNaturallyIgnoringCase) {
    const auto sorted = OpenTargets::sortedBrowsers(
        {{"b10", "Browser 10"}, {"zed", "zebra"}, {"b9", "browser 9"}, {"alpha", "Alpha"}});
    QStringList names;
    for (const auto& browser : sorted) {
        names << browser.name;
    }
    EXPECT_EQ(names, (QStringList{"Alpha", "browser 9", "Browser 10", "zebra"}));
}

TEST(OpenTargets, RepeatedBrowserIdKeepsTheLastFoundOnce) {
    const auto sorted = OpenTargets::sortedBrowsers(
        {{"web.desktop", "Web Old"}, {"other.desktop", "Other"}, {"web.desktop", "Web New"}});
    EXPECT_EQ(sorted,
              (QList<InstalledBrowser>{{"other.desktop", "Other"}, {"web.desktop", "Web New"}}));
}

TEST(OpenTargets, EqualNamesKeepTheirOrder) {
    const auto sorted = OpenTargets::sortedBrowsers({{"one", "Same"}, {"two", "same"}});
    ASSERT_EQ(sorted.size(), 2);
    EXPECT_EQ(sorted[0].id, "one");
    EXPECT_EQ(sorted[1].id, "two");
}
