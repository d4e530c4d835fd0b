#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

class Workspace;

// A browser the user may pick for a web address: `id` is how the system names the application
// (a desktop entry id such as "firefox.desktop"), kept in a binding's browser field; `name` is
// shown to the user.
struct InstalledBrowser {
    QString id;
    QString name;

    // The browsers `workspace` knows, one per id, sorted by name for a picker. Blocking reads of
    // the installed entries; call it when the picker appears, not per key press.
    static QList<InstalledBrowser> all(Workspace& workspace);

    bool operator==(const InstalledBrowser&) const = default;
};

// The desktop's way of opening applications, folders and web addresses, for the open actions.
//
// Thread: the main thread. Calls start other programs and return as soon as they are started;
// none waits for a program to finish.
// An "application" is a desktop entry file (.desktop); the path of that file stands for it.
// Failures are return values, never exceptions: an error text from the system (or, where the
// system gives none, one of ours that names the path), or false where the caller words the
// message itself.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Starts the application at `path`; empty on success, else why it did not start.
    virtual QString openApplication(const QString& path) = 0;

    // True when the existing folder `path` is an application in folder form (an AppDir, a
    // bundle folder) rather than a folder to browse.
    virtual bool isPackage(const QString& path) = 0;

    // Shows the folder in the file manager; false when no program would open it.
    virtual bool openFolder(const QString& path) = 0;

    // Opens the address in the default browser; false when no program would open it.
    virtual bool openUrl(const QUrl& url) = 0;

    // The desktop entry file of the application called `id`, or empty when none is installed.
    virtual QString applicationPath(const QString& id) = 0;

    // Opens the address with the application called `id`; empty on success, else the error.
    virtual QString openUrlWith(const QUrl& url, const QString& id) = 0;

    // The icon the desktop shows for `path` (a desktop entry's own icon, the folder icon for a
    // folder), `size` pixels square at most; a null image when there is none. Uses the icon
    // theme, so it needs the GUI application.
    virtual QImage icon(const QString& path, int size) = 0;

    // Applications that open https addresses and HTML documents, in the system's order (unsorted,
    // possibly with repeated ids). Blocking reads of the installed entries.
    virtual QList<InstalledBrowser> browsers() = 0;
};
