#pragma once

#include "actions/Workspace.h"

#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <ostream>

// A Workspace that records what it was asked to open. Folders whose names end in ".app" count
// as applications in folder form; `refuse` makes every open fail; `installed` maps application
// ids to their entry files.
class FakeWorkspace : public Workspace {
public:
    QString openApplication(const QString& path) override {
        opened << "application " + path;
        return refuse ? QStringLiteral("refused") : QString();
    }
    bool isPackage(const QString& path) override {
        return QFileInfo(path).suffix() == QLatin1String("app");
    }
    bool openFolder(const QString& path) override {
        opened << "folder " + path;
        return !refuse;
    }
    bool openUrl(const QUrl& url) override {
        opened << "url " + url.toString();
        return !refuse;
    }
    QString applicationPath(const QString& id) override { return installed.value(id); }
    QString openUrlWith(const QUrl& url, const QString& id) override {
        opened << "url " + url.toString() + " with " + id;
        return refuse ? QStringLiteral("refused") : QString();
    }
    QImage icon(const QString& path, int) override { return icons.value(path); }
    QList<InstalledBrowser> browsers() override { return browserList; }

    bool refuse = false;
    QMap<QString, QString> installed;
    QList<InstalledBrowser> browserList;
    QMap<QString, QImage> icons;
    QStringList opened;
};

inline void PrintTo(const InstalledBrowser& browser, std::ostream* out) {
    *out << browser.id.toStdString() << " \"" << browser.name.toStdString() << '"';
}
