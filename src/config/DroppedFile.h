#pragma once

#include "config/Binding.h"

#include <QString>
#include <QUrl>

// What the drop handling needs to know about a dropped file. An application on this desktop is
// a desktop entry (".desktop") or an AppImage; its name comes from the desktop entry.
// Stateless; any thread.
class DroppedFile {
public:
    // The file that `url` finally designates, every symbolic link resolved. Throws ActionError
    // for a URL that is not a local file or a file that does not exist.
    static QUrl resolvedURL(const QUrl& url);

    // Whether the file at `path` is an application.
    static bool isApplication(const QString& path);

    // A copy of `binding` that opens the application at `url`: the open-application action, the
    // path as argument, the application's name as script name, no artwork of its own (the
    // application's icon shows). Every other field, id and name included, is kept.
    static Binding applicationBinding(const Binding& binding, const QUrl& url);

    // The desktop entry's localised "Name", else the file name without its extension.
    static QString applicationName(const QString& path);
};
