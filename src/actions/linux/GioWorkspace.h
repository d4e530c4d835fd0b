#pragma once

#include "actions/Workspace.h"

// Workspace on GIO: desktop entries launched with GDesktopAppInfo, folders and addresses given
// to the default handler for their type (inode/directory, x-scheme-handler/http[s]) as the
// desktop's mimeapps.list sets it. Browsers are the applications for
// x-scheme-handler/https that also declare text/html. Icons come from the entry's Icon key or
// the file's type, looked up in the current icon theme (or read when they name a file).
class GioWorkspace final : public Workspace {
public:
    QString openApplication(const QString& path) override;
    bool isPackage(const QString& path) override;
    bool openFolder(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    QString applicationPath(const QString& id) override;
    QString openUrlWith(const QUrl& url, const QString& id) override;
    QImage icon(const QString& path, int size) override;
    QList<InstalledBrowser> browsers() override;
};
