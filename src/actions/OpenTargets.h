#pragma once

#include "actions/Workspace.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// What the open actions' stored text means. Thread: any, except `folder`, which asks the
// workspace and so belongs to the main thread.
class OpenTargets {
public:
    // A web address from what the user typed: blanks and line breaks around it are trimmed,
    // "https://" goes in front when there is no ":" at all, and only http and https addresses
    // with a host count. A host followed by a colon and a port ("example.com:8080") reads as a
    // scheme without a host and is refused.
    static std::optional<QUrl> url(const QString& text);

    // An existing folder from the stored path: a leading "~" is the home folder, the path must
    // be absolute and name a folder that is not an application in folder form.
    static std::optional<QString> folder(const QString& argument, Workspace& workspace);

    // One entry per id (a later entry replaces an earlier one), sorted by name the way people
    // sort: letter case ignored, runs of digits by value ("Browser 9" before "browser 10"),
    // equal names kept in their order.
    static QList<InstalledBrowser> sortedBrowsers(const QList<InstalledBrowser>& browsers);
};
