#include "actions/OpenActions.h"
#include "actions/OpenTargets.h"

#include "FakeActionContext.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

QImage filled(QColor color) {
    QImage image(16, 16, QImage::Format_ARGB32);
    return image.fill(color), image;
}

Binding target(const QString& argument, std::optional<QString> browser = std::nullopt) {
    return Binding(7, "LCD key 7", "Open", argument, 0, 0, std::nullopt, std::nullopt, browser);
}

struct OpenActions : ::testing::Test {
    void SetUp() override { context.platform.workspace = workspace; }

    QTemporaryDir folder;
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    FakeActionContext context;
};

}  // namespace

TEST_F(OpenActions, ApplicationStartsTheEntryReportsTheAnswerAndTakesIconAndSearchFromIt) {
    const OpenApplicationAction action;
    const QString path = "/usr/share/applications/org.gnome.Calculator.desktop";
    action.perform(target(path), context);
    workspace->refuse = true;
    action.perform(target(path), context);
    action.perform(target(""), context);
    EXPECT_EQ(workspace->opened, QStringList(2, "application " + path));
    EXPECT_EQ(context.reports,
              (QStringList{"", "refused", "Choose an application for LCD key 7 first"}));
    workspace->icons[path] = filled(Qt::red);
    EXPECT_EQ(action.icon(target(path), context), filled(Qt::red));
    EXPECT_EQ(action.icon(target("/no/icon.desktop"), context), std::nullopt);
    EXPECT_EQ(action.searchTerm(target(path)), "org.gnome.Calculator icon");
    EXPECT_EQ(action.searchTerm(target("")), "Open application icon");
}

TEST_F(OpenActions, FolderOpensOnlyAnExistingFolderWithTildeAsHome) {
    const OpenFolderAction action;
    ASSERT_TRUE(QDir(folder.path()).mkpath("Documents/Example.app"));
    QFile(folder.filePath("notes.txt")).open(QIODevice::WriteOnly);
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", folder.path().toLocal8Bit());
    action.perform(target("~/Documents"), context);
    EXPECT_EQ(OpenTargets::folder("~", *workspace), QDir::cleanPath(folder.path()));
    qputenv("HOME", home);
    workspace->refuse = true;
    action.perform(target(folder.path()), context);
    EXPECT_EQ(context.reports, (QStringList{"", "Could not open folder: " + folder.path()}));
    for (const QString& argument :
         {QString(), folder.filePath("Documents/Example.app"), folder.filePath("notes.txt"),
          folder.filePath("missing"), QStringLiteral("relative/folder")}) {
        EXPECT_FALSE(action.isReady(target(argument), context)) << argument;
        action.perform(target(argument), context);
        EXPECT_EQ(context.reports.last(), "Choose an existing folder for LCD key 7 first");
    }
    EXPECT_EQ(workspace->opened,
              (QStringList{"folder " + folder.path() + "/Documents", "folder " + folder.path()}));
    workspace->icons[folder.path()] = filled(Qt::blue);
    EXPECT_EQ(action.icon(target(folder.path()), context), filled(Qt::blue));
    EXPECT_EQ(action.icon(target("/no/such/folder"), context), action.builtInIcon());
}

TEST_F(OpenActions, UrlOpensInTheChosenBrowserOrSaysWhichCheckFailedAndBrowsersListOnce) {
    workspace->installed["firefox.desktop"] = "/usr/share/applications/firefox.desktop";
    const std::pair<Binding, QString> opens[] = {
        {target("\t example.org/a \n"), ""},
        {target("example.org/b", QString()), ""},
        {target("example.org/c", "firefox.desktop"), ""},
        {target("ftp://example.org", "gone.desktop"),
         "Enter an HTTP or HTTPS URL for LCD key 7 first"},
        {target("example.org", "gone.desktop"),
         "The selected browser is no longer installed. Choose another browser or System Default."},
        {target("example.org", "firefox.desktop"), "refused"},
        {target("example.org"), "Could not open URL in the default browser"}};
    for (const auto& [binding, report] : opens) {
        workspace->refuse = report.startsWith("refused") || report.startsWith("Could");
        OpenURLAction().perform(binding, context);
        EXPECT_EQ(context.message, report) << binding.argument;
    }
    EXPECT_EQ(workspace->opened.mid(0, 3),
              (QStringList{"url https://example.org/a", "url https://example.org/b",
                           "url https://example.org/c with firefox.desktop"}));
    // The cached site icon on a pad is the site icons' to check; without one, or for an address
    // that is no web address, the key shows the globe.
    const OpenURLAction action;
    context.platform.siteIcon = [](const QUrl&) { return QImage(); };
    EXPECT_EQ(action.icon(target("not a url:"), context), action.builtInIcon());
    EXPECT_EQ(action.icon(target("other.example"), context), action.builtInIcon());
    EXPECT_EQ(action.searchTerm(target(" www.example.com/x ")), "www.example.com icon");
    EXPECT_EQ(action.searchTerm(target("mailto:me@example.com")), "website icon");
    // Only http and https addresses with a host are accepted; browsers are listed once.
    const std::pair<QString, QUrl> cases[] = {
        {"  \n https://example.com/page \t\n", QUrl("https://example.com/page")},
        {"HTTPS://Example.com/", QUrl("HTTPS://Example.com/")},
        {"http://localhost:3000/app", QUrl("http://localhost:3000/app")},
        {"example.com:8080", {}},  // a port without a scheme reads as a scheme of its own
        {"ftp://example.com/file", {}},
        {"https://", {}},
        {" \n ", {}},
        {"https://exa mple.com", {}}};
    for (const auto& [typed, expected] : cases) {
        EXPECT_EQ(OpenTargets::url(typed).value_or(QUrl()), expected) << typed;
    }
    // Sorted by name, equal names in their order, each id once.
    FakeWorkspace browsers;
    browsers.browserList = {{"b10.desktop", "Browser 10"},
                            {"firefox.desktop", "Firefox"},
                            {"b9.desktop", "browser 9"},
                            {"firefox.desktop", "Firefox ESR"},
                            {"one", "Same"},
                            {"two", "same"}};
    EXPECT_EQ(InstalledBrowser::all(browsers),
              (QList<InstalledBrowser>{{"b9.desktop", "browser 9"},
                                       {"b10.desktop", "Browser 10"},
                                       {"firefox.desktop", "Firefox ESR"},
                                       {"one", "Same"},
                                       {"two", "same"}}));
}
