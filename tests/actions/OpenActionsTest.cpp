#include "actions/OpenActions.h"

#include "FakeActionContext.h"
#include "FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QImage filled(QColor color) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

Binding target(const QString& argument, std::optional<QString> browser = std::nullopt) {
    Binding binding(7, "LCD key 7", "Open", argument);
    binding.browserBundleID = std::move(browser);
    return binding;
}

struct OpenFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        context.platform.workspace = workspace;
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    FakeActionContext context;
};

using OpenApplicationActionTest = OpenFixture;
using OpenFolderActionTest = OpenFixture;
using OpenURLActionTest = OpenFixture;

}  // namespace

TEST_F(OpenApplicationActionTest, StartsTheEntryAndReportsTheDesktopsAnswer) {
    const QString path = "/usr/share/applications/firefox.desktop";
    OpenApplicationAction().perform(target(path), context);
    workspace->refuse = true;
    OpenApplicationAction().perform(target(path), context);
    OpenApplicationAction().perform(target(""), context);
    EXPECT_EQ(workspace->opened, QStringList(2, "application " + path));
    EXPECT_EQ(context.reports,
              (QStringList{"", "refused", "Choose an application for LCD key 7 first"}));
}

TEST_F(OpenApplicationActionTest, IconAndSearchComeFromThePath) {
    const OpenApplicationAction action;
    const QString path = "/usr/share/applications/org.gnome.Calculator.desktop";
    workspace->icons[path] = filled(Qt::red);
    EXPECT_EQ(action.icon(target(path), context), filled(Qt::red));
    EXPECT_EQ(action.icon(target("/no/icon.desktop"), context), std::nullopt);
    EXPECT_EQ(action.searchTerm(target(path)), "org.gnome.Calculator icon");
    EXPECT_EQ(action.searchTerm(target("/Applications/Example.app")), "Example icon");
    EXPECT_EQ(action.searchTerm(target("")), "Open application icon");
    EXPECT_EQ(action.artworkKey(target(path)), path);
}

TEST_F(OpenFolderActionTest, OpensAnExistingFolderWithTildeAsHome) {
    ASSERT_TRUE(QDir(folder.path()).mkdir("Documents"));
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", folder.path().toLocal8Bit());
    OpenFolderAction().perform(target("~/Documents"), context);
    qputenv("HOME", home);
    workspace->refuse = true;
    OpenFolderAction().perform(target(folder.path()), context);
    EXPECT_EQ(workspace->opened,
              (QStringList{"folder " + folder.path() + "/Documents", "folder " + folder.path()}));
    EXPECT_EQ(context.reports, (QStringList{"", "Could not open folder: " + folder.path()}));
}

TEST_F(OpenFolderActionTest, AnythingButAnExistingFolderIsRefused) {
    ASSERT_TRUE(QDir(folder.path()).mkdir("Example.app"));
    QFile file(folder.filePath("notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const OpenFolderAction action;
    for (const QString& argument :
         {QString(), folder.filePath("Example.app"), folder.filePath("notes.txt"),
          folder.filePath("missing"), QStringLiteral("relative/folder")}) {
        SCOPED_TRACE(argument.toStdString());
        EXPECT_FALSE(action.isReady(target(argument), context));
        action.perform(target(argument), context);
        EXPECT_EQ(context.reports.last(), "Choose an existing folder for LCD key 7 first");
    }
    EXPECT_TRUE(action.isReady(target(folder.path()), context));
    EXPECT_TRUE(workspace->opened.isEmpty());
}

TEST_F(OpenFolderActionTest, IconIsTheFoldersOwnElseTheBuiltInOne) {
    const OpenFolderAction action;
    workspace->icons[folder.path()] = filled(Qt::blue);
    EXPECT_EQ(action.icon(target(folder.path()), context), filled(Qt::blue));
    EXPECT_EQ(action.icon(target("/no/such/folder"), context), action.builtInIcon());
    EXPECT_TRUE(action.builtInIcon().has_value());
}

TEST_F(OpenURLActionTest, OpensInTheDefaultBrowserUnlessOneIsChosen) {
    workspace->installed["firefox.desktop"] = "/usr/share/applications/firefox.desktop";
    OpenURLAction().perform(target("\t example.org/a \n"), context);
    OpenURLAction().perform(target("example.org/b", QString()), context);
    OpenURLAction().perform(target("example.org/c", "firefox.desktop"), context);
    EXPECT_EQ(workspace->opened,
              (QStringList{"url https://example.org/a", "url https://example.org/b",
                           "url https://example.org/c with firefox.desktop"}));
    EXPECT_EQ(context.reports, (QStringList{"", "", ""}));
}

TEST_F(OpenURLActionTest, FailuresAreReportedInOrderOfTheChecks) {
    OpenURLAction().perform(target("ftp://example.org", "gone.desktop"), context);
    OpenURLAction().perform(target("example.org", "gone.desktop"), context);
    workspace->refuse = true;
    workspace->installed["firefox.desktop"] = "/usr/share/applications/firefox.desktop";
    OpenURLAction().perform(target("example.org", "firefox.desktop"), context);
    OpenURLAction().perform(target("example.org"), context);
    EXPECT_EQ(context.reports,
              (QStringList{"Enter an HTTP or HTTPS URL for LCD key 7 first",
                           "The selected browser is no longer installed. Choose "
                           "another browser or System Default.",
                           "refused", "Could not open URL in the default browser"}));
}

TEST_F(OpenURLActionTest, IconIsTheCachedSiteIconElseTheGlobe) {
    const OpenURLAction action;
    QList<QUrl> asked;
    context.platform.siteIcon = [&](const QUrl& url) {
        asked << url;
        return url.host() == "cached.example" ? filled(Qt::green) : QImage();
    };
    EXPECT_EQ(action.icon(target("cached.example"), context), filled(Qt::green));
    EXPECT_EQ(action.icon(target("other.example"), context), action.builtInIcon());
    EXPECT_EQ(action.icon(target("not a url:"), context), action.builtInIcon());
    EXPECT_EQ(asked, (QList<QUrl>{QUrl("https://cached.example"), QUrl("https://other.example")}));
}

TEST_F(OpenURLActionTest, SearchTermIsTheHost) {
    const OpenURLAction action;
    EXPECT_EQ(action.searchTerm(target(" www.example.com/x ")), "www.example.com icon");
    EXPECT_EQ(action.searchTerm(target("mailto:me@example.com")), "website icon");
    EXPECT_EQ(action.artworkKey(target(" example.com ")), " example.com ");
}

TEST(InstalledBrowser, AllListsEachBrowserOnceSortedByName) {
    FakeWorkspace workspace;
    workspace.browserList = {{"b10.desktop", "Browser 10"},
                             {"firefox.desktop", "Firefox"},
                             {"b9.desktop", "browser 9"},
                             {"firefox.desktop", "Firefox ESR"}};
    EXPECT_EQ(InstalledBrowser::all(workspace),
              (QList<InstalledBrowser>{{"b9.desktop", "browser 9"},
                                       {"b10.desktop", "Browser 10"},
                                       {"firefox.desktop", "Firefox ESR"}}));
}
