#include "../FakeWorkspace.h"
#include "actions/OpenTargets.h"
#include "actions/linux/GioWorkspace.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes,
               QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

// A private desktop: applications, default handlers and a launcher script that records how it
// was started. GIO reads the XDG folders once per process, so they are set up before main()
// runs and before anything else could ask GIO.
class TestDesktop {
public:
    TestDesktop() {
        const QString data = dir.filePath("data");
        const QString config = dir.filePath("config");
        QDir().mkpath(data + "/applications");
        QDir().mkpath(config);
        QDir().mkpath(dir.filePath("elsewhere"));
        writeFile(dir.filePath("record.sh"),
                  QString("#!/bin/sh\nname=$1\nshift\nprintf '%s\\n' \"$@\" > '%1'/marker-$name\n")
                      .arg(dir.path())
                      .toUtf8(),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        addApplication(data + "/applications/bigbrowser.desktop", "Browser 10", "bigbrowser",
                       "text/html;x-scheme-handler/http;x-scheme-handler/https;");
        addApplication(data + "/applications/smallbrowser.desktop", "browser 9", "smallbrowser",
                       "text/html;x-scheme-handler/http;x-scheme-handler/https;");
        addApplication(data + "/applications/mailer.desktop", "Mailer", "mailer",
                       "x-scheme-handler/https;message/rfc822;");
        addApplication(data + "/applications/files.desktop", "Files", "files", "inode/directory;");
        addApplication(dir.filePath("elsewhere/tool.desktop"), "Tool", "tool", "");
        QImage square(256, 128, QImage::Format_ARGB32);
        square.fill(Qt::red);
        square.save(dir.filePath("elsewhere/wide.png"));
        addApplication(dir.filePath("elsewhere/pictured.desktop"), "Pictured", "pictured", "",
                       dir.filePath("elsewhere/wide.png"));
        const QString themed = data + "/icons/hicolor/64x64/apps";
        QDir().mkpath(themed);
        square.fill(Qt::blue);
        square.scaled(64, 64).save(themed + "/quorvel-themed.png");
        writeFile(data + "/icons/hicolor/index.theme",
                  "[Icon Theme]\nName=Hicolor\nDirectories=64x64/apps\n\n"
                  "[64x64/apps]\nSize=64\nType=Fixed\n");
        addApplication(dir.filePath("elsewhere/themed.desktop"), "Themed", "themed", "",
                       "quorvel-themed");
        writeFile(dir.filePath("elsewhere/not-an-entry.desktop"), "just text\n");
        // What update-desktop-database writes when applications are installed; GIO finds the
        // handlers of a type through it.
        writeFile(data + "/applications/mimeinfo.cache",
                  "[MIME Cache]\n"
                  "text/html=bigbrowser.desktop;smallbrowser.desktop;\n"
                  "x-scheme-handler/http=bigbrowser.desktop;smallbrowser.desktop;\n"
                  "x-scheme-handler/https=bigbrowser.desktop;smallbrowser.desktop;mailer.desktop;\n"
                  "message/rfc822=mailer.desktop;\n"
                  "inode/directory=files.desktop;\n");
        writeFile(config + "/mimeapps.list",
                  "[Default Applications]\n"
                  "x-scheme-handler/https=smallbrowser.desktop\n"
                  "x-scheme-handler/http=smallbrowser.desktop\n"
                  "inode/directory=files.desktop\n");
        qputenv("XDG_DATA_HOME", data.toUtf8());
        qputenv("XDG_DATA_DIRS", dir.filePath("no-system-data").toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        qputenv("XDG_CONFIG_DIRS", dir.filePath("no-system-config").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "");
        qputenv("GIO_USE_VFS", "local");
    }

    void addApplication(const QString& path, const QString& name, const QString& marker,
                        const QString& types, const QString& icon = {}) {
        QString entry = QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %3 %u\n")
                            .arg(name, dir.filePath("record.sh"), marker);
        if (!types.isEmpty()) {
            entry += "MimeType=" + types + "\n";
        }
        if (!icon.isEmpty()) {
            entry += "Icon=" + icon + "\n";
        }
        writeFile(path, entry.toUtf8());
    }

    // What the application called `name` was started with, once it has been started.
    QString marker(const QString& name) const {
        QFile file(dir.filePath("marker-" + name));
        if (!waitUntil([&] { return file.exists() && file.size() > 0; })) {
            return "(not started)";
        }
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).trimmed();
    }

    QTemporaryDir dir;
};

TestDesktop& desktop() {
    static TestDesktop instance;
    return instance;
}

// Set up while the program loads, before main().
const bool desktopReady = desktop().dir.isValid();

}  // namespace

TEST(GioWorkspace, OpensTheApplicationOfADesktopEntryPathOrReportsWhyNot) {
    ASSERT_TRUE(desktopReady);
    GioWorkspace workspace;
    EXPECT_EQ(workspace.openApplication(desktop().dir.filePath("elsewhere/tool.desktop")), "");
    EXPECT_EQ(desktop().marker("tool"), "");
    EXPECT_TRUE(QFile::exists(desktop().dir.filePath("marker-tool")));
    const QString missing = desktop().dir.filePath("elsewhere/missing.desktop");
    EXPECT_EQ(workspace.openApplication(missing),
              QString("The application %1 could not be found").arg(missing));
    const QString text = desktop().dir.filePath("elsewhere/not-an-entry.desktop");
    EXPECT_EQ(workspace.openApplication(text),
              QString("%1 is not an application (a .desktop file)").arg(text));
}

TEST(GioWorkspace, FolderOpensWithTheFolderHandler) {
    GioWorkspace workspace;
    const QString folder = desktop().dir.filePath("elsewhere");
    EXPECT_TRUE(workspace.openFolder(folder));
    // GIO hands local folders over as paths.
    EXPECT_EQ(desktop().marker("files"), folder);
}

TEST(GioWorkspace, UrlOpensInTheDefaultBrowserOrTheChosenOne) {
    GioWorkspace workspace;
    const auto url = OpenTargets::url("  example.com/a?b=c  ");
    ASSERT_TRUE(url);
    EXPECT_TRUE(workspace.openUrl(*url));
    EXPECT_EQ(desktop().marker("smallbrowser"), "https://example.com/a?b=c");
    EXPECT_EQ(workspace.openUrlWith(QUrl("https://example.org/x"), "bigbrowser.desktop"), "");
    EXPECT_EQ(desktop().marker("bigbrowser"), "https://example.org/x");
}

TEST(GioWorkspace, UninstalledBrowserHasNoPath) {
    GioWorkspace workspace;
    EXPECT_EQ(workspace.applicationPath("gone.desktop"), "");
    EXPECT_EQ(workspace.applicationPath(""), "");
    EXPECT_EQ(workspace.applicationPath("bigbrowser.desktop"),
              desktop().dir.filePath("data/applications/bigbrowser.desktop"));
    EXPECT_EQ(workspace.applicationPath("bigbrowser"),
              desktop().dir.filePath("data/applications/bigbrowser.desktop"));
    EXPECT_FALSE(workspace.openUrlWith(QUrl("https://example.org"), "gone.desktop").isEmpty());
}

TEST(GioWorkspace, BrowsersAreHttpsHandlersThatOpenHtml) {
    GioWorkspace workspace;
    EXPECT_EQ(OpenTargets::sortedBrowsers(workspace.browsers()),
              (QList<InstalledBrowser>{{"smallbrowser.desktop", "browser 9"},
                                       {"bigbrowser.desktop", "Browser 10"}}));
}

TEST(GioWorkspace, ApplicationFoldersAreNotPlainFolders) {
    GioWorkspace workspace;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Example.app");
    QDir(dir.path()).mkpath("Tool.AppDir");
    QDir(dir.path()).mkpath("squashed");
    QDir(dir.path()).mkpath("Plain");
    writeFile(dir.filePath("squashed/AppRun"), "#!/bin/sh\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(workspace.isPackage(dir.filePath("Example.app")));
    EXPECT_TRUE(workspace.isPackage(dir.filePath("Tool.AppDir")));
    EXPECT_TRUE(workspace.isPackage(dir.filePath("squashed")));
    EXPECT_FALSE(workspace.isPackage(dir.filePath("Plain")));
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Example.app"), workspace), std::nullopt);
    EXPECT_EQ(OpenTargets::folder(dir.filePath("Plain"), workspace), dir.filePath("Plain"));
}

TEST(GioWorkspace, ApplicationIconFromAFileKeepsItsShapeWithinTheSize) {
    GioWorkspace workspace;
    const QImage icon = workspace.icon(desktop().dir.filePath("elsewhere/pictured.desktop"), 64);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(64, 32));
    EXPECT_EQ(icon.pixelColor(10, 10), QColor(Qt::red));
    // A missing file has none.
    EXPECT_TRUE(workspace.icon(desktop().dir.filePath("elsewhere/gone.desktop"), 64).isNull());
    EXPECT_TRUE(workspace.icon(desktop().dir.filePath("elsewhere/gone"), 64).isNull());
}

TEST(GioWorkspace, ApplicationIconByNameComesFromTheIconTheme) {
    QIcon::setThemeSearchPaths({desktop().dir.filePath("data/icons")});
    QIcon::setThemeName("hicolor");
    GioWorkspace workspace;
    const QImage icon = workspace.icon(desktop().dir.filePath("elsewhere/themed.desktop"), 64);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(32, 32), QColor(Qt::blue));
}
