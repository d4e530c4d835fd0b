#pragma once

#include "actions/Workspace.h"

// Workspace on GIO: desktop entries launched with GDesktopAppInfo, folders and addresses given
// to the default handler for their type (inode/directory, x-scheme-handler/http[s]) as the
// desktop's mimeapps.list sets it. Browsers are the applications for
// x-scheme-handler/https that also declare text/html.
class GioWorkspace final : public Workspace {
public:
    QString openApplication(const QString& path) override;
    bool isPackage(const QString& path) override;
    bool openFolder(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    QString applicationPath(const QString& id) override;
    QString openUrlWith(const QUrl& url, const QString& id) override;
    QList<InstalledBrowser> browsers() override;
};
