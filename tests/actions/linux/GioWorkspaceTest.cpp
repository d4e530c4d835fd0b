#include "actions/linux/GioWorkspace.h"

#include "actions/OpenTargets.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QIcon>
#include <QTemporaryDir>

namespace {

// A private desktop: applications, default handlers, icons, and a launcher script that records
// how each application was started. GIO reads the XDG folders once per process, so they are set
// up while the program loads, before anything could ask GIO.
struct TestDesktop {
    TestDesktop() {
        const QString data = dir.filePath("data"), apps = data + "/applications/";
        const QString web = "text/html;x-scheme-handler/http;x-scheme-handler/https;";
        writeBytes(path("record.sh"), QString("#!/bin/sh\nname=$1\nshift\nprintf '%s\\n' \"$@\" > "
                                              "'%1'/marker-$name\n")
                                          .arg(dir.path())
                                          .toUtf8());
        QFile::setPermissions(path("record.sh"), QFile::ReadOwner | QFile::ExeOwner);
        QImage picture(256, 128, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        writeBytes(path("elsewhere/wide.png"), "");
        picture.save(path("elsewhere/wide.png"));
        picture.fill(Qt::blue);
        writeBytes(data + "/icons/hicolor/index.theme",
                   "[Icon Theme]\nName=Hicolor\nDirectories=64x64/apps\n\n"
                   "[64x64/apps]\nSize=64\nType=Fixed\n");
        QDir().mkpath(data + "/icons/hicolor/64x64/apps");
        picture.scaled(64, 64).save(data + "/icons/hicolor/64x64/apps/quorvel-themed.png");
        const QStringList entries[] = {
            {apps + "bigbrowser.desktop", "Browser 10", "bigbrowser", web},
            {apps + "smallbrowser.desktop", "browser 9", "smallbrowser", web},
            {apps + "mailer.desktop", "Mailer", "mailer", "x-scheme-handler/https;message/rfc822;"},
            {apps + "files.desktop", "Files", "files", "inode/directory;"},
            {path("elsewhere/tool.desktop"), "Tool", "tool", ""},
            {path("elsewhere/pictured.desktop"), "Pictured", "pictured", "",
             path("elsewhere/wide.png")},
            {path("elsewhere/themed.desktop"), "Themed", "themed", "", "quorvel-themed"}};
        for (const QStringList& e : entries) {
            writeBytes(e[0], QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %3 %u\n"
                                     "MimeType=%4\nIcon=%5\n")
                                 .arg(e[1], path("record.sh"), e[2], e[3], e.value(4))
                                 .toUtf8());
        }
        writeBytes(path("elsewhere/not-an-entry.desktop"), "just text\n");
        // What update-desktop-database writes when applications are installed; GIO finds the
        // handlers of a type through it.
        writeBytes(
            apps + "mimeinfo.cache",
            "[MIME Cache]\ntext/html=bigbrowser.desktop;smallbrowser.desktop;\n"
            "x-scheme-handler/http=bigbrowser.desktop;smallbrowser.desktop;\n"
            "x-scheme-handler/https=bigbrowser.desktop;smallbrowser.desktop;mailer.desktop;\n"
            "message/rfc822=mailer.desktop;\ninode/directory=files.desktop;\n");
        writeBytes(path("config/mimeapps.list"),
                   "[Default Applications]\nx-scheme-handler/https=smallbrowser.desktop\n"
                   "x-scheme-handler/http=smallbrowser.desktop\ninode/directory=files.desktop\n");
        qputenv("XDG_DATA_HOME", data.toUtf8());
        qputenv("XDG_DATA_DIRS", path("no-system-data").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", path("no-system-config").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "");
        qputenv("GIO_USE_VFS", "local");
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    // What the application called `name` was started with, once it has been started.
    QString marker(const QString& name) const {
        const QString file = path("marker-" + name);
        return waitUntil([&] { return QFileInfo(file).size() > 0; })
                   ? QString::fromUtf8(readFile(file)).trimmed()
                   : "(not started)";
    }

    QTemporaryDir dir;
};

TestDesktop& desktop() {
    static TestDesktop instance;
    return instance;
}

const bool desktopReady = desktop().dir.isValid();  // set up before main()

}  // namespace

TEST(GioWorkspace, OpensWithTheHandlersListsBrowsersFindsIconsAndTellsApplicationFolders) {
    ASSERT_TRUE(desktopReady);
    GioWorkspace workspace;
    EXPECT_EQ(workspace.openApplication(desktop().path("elsewhere/tool.desktop")), "");
    EXPECT_EQ(desktop().marker("tool"), "");
    const QString missing = desktop().path("elsewhere/missing.desktop");
    EXPECT_EQ(workspace.openApplication(missing),
              QString("The application %1 could not be found").arg(missing));
    const QString text = desktop().path("elsewhere/not-an-entry.desktop");
    EXPECT_EQ(workspace.openApplication(text),
              QString("%1 is not an application (a .desktop file)").arg(text));

    EXPECT_TRUE(workspace.openFolder(desktop().path("elsewhere")));
    EXPECT_EQ(desktop().marker("files"), desktop().path("elsewhere"));  // local folders as paths
    EXPECT_TRUE(workspace.openUrl(*OpenTargets::url("  example.com/a?b=c  ")));
    EXPECT_EQ(desktop().marker("smallbrowser"), "https://example.com/a?b=c");
    EXPECT_EQ(workspace.openUrlWith(QUrl("https://example.org/x"), "bigbrowser.desktop"), "");
    EXPECT_EQ(desktop().marker("bigbrowser"), "https://example.org/x");
    EXPECT_FALSE(workspace.openUrlWith(QUrl("https://example.org"), "gone.desktop").isEmpty());
    // Browsers are https handlers that open HTML, found by id with or without the suffix; icons
    // come from the entry's file keeping its shape or from the icon theme.
    EXPECT_EQ(OpenTargets::sortedBrowsers(workspace.browsers()),
              (QList<InstalledBrowser>{{"smallbrowser.desktop", "browser 9"},
                                       {"bigbrowser.desktop", "Browser 10"}}));
    const QString big = desktop().path("data/applications/bigbrowser.desktop");
    EXPECT_EQ(
        QStringList({workspace.applicationPath("bigbrowser.desktop"),
                     workspace.applicationPath("bigbrowser"),
                     workspace.applicationPath("gone.desktop"), workspace.applicationPath("")}),
        QStringList({big, big, "", ""}));

    QIcon::setThemeSearchPaths({desktop().path("data/icons")});
    QIcon::setThemeName("hicolor");
    const QImage icon = workspace.icon(desktop().path("elsewhere/pictured.desktop"), 64);
    EXPECT_EQ(std::tuple(icon.size(), icon.pixelColor(10, 10)),
              std::tuple(QSize(64, 32), QColor(Qt::red)));
    EXPECT_EQ(workspace.icon(desktop().path("elsewhere/themed.desktop"), 64).pixelColor(32, 32),
              QColor(Qt::blue));
    EXPECT_TRUE(workspace.icon(desktop().path("elsewhere/gone"), 64).isNull());
    // Application folders are not plain folders.
    QTemporaryDir dir;
    for (const char* folder : {"Example.app", "Tool.AppDir", "Plain"}) {
        QDir(dir.path()).mkpath(folder);
    }
    writeBytes(dir.filePath("squashed/AppRun"), "#!/bin/sh\n");
    QFile::setPermissions(dir.filePath("squashed/AppRun"), QFile::ReadOwner | QFile::ExeOwner);
    for (const char* package : {"Example.app", "Tool.AppDir", "squashed"}) {
        EXPECT_TRUE(workspace.isPackage(dir.filePath(package))) << package;
    }
    EXPECT_FALSE(workspace.isPackage(dir.filePath("Plain")));
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Example.app"), workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Plain"), workspace), dir.filePath("Plain"));
}
