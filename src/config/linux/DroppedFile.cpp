#include "config/DroppedFile.h"

#include "core/ActionError.h"

#include <QFile>
#include <QFileInfo>

#include <glib.h>

QUrl DroppedFile::resolvedURL(const QUrl& url) {
    if (!url.isLocalFile()) {
        throw ActionError::failed(
            QStringLiteral("“%1” is not a local file").arg(url.toDisplayString()));
    }
    const QString path = url.toLocalFile();
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty()) {
        throw ActionError::failed(
            QStringLiteral("The file “%1” couldn’t be opened because there is no such file")
                .arg(QFileInfo(path).fileName()));
    }
    return QUrl::fromLocalFile(resolved);
}

bool DroppedFile::isApplication(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    return info.isFile() && (suffix == QLatin1String("desktop") ||
                             (suffix == QLatin1String("appimage") && info.isExecutable()));
}

QString DroppedFile::applicationName(const QString& path) {
    const QFileInfo info(path);
    if (info.suffix().toLower() == QLatin1String("desktop")) {
        GKeyFile* file = g_key_file_new();
        QString name;
        if (g_key_file_load_from_file(file, QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                      nullptr)) {
            if (gchar* value =
                    g_key_file_get_locale_string(file, "Desktop Entry", "Name", nullptr, nullptr)) {
                name = QString::fromUtf8(value).trimmed();
                g_free(value);
            }
        }
        g_key_file_free(file);
        if (!name.isEmpty()) {
            return name;
        }
    }
    return info.completeBaseName();
}

Binding DroppedFile::applicationBinding(const Binding& binding, const QUrl& url) {
    Binding result = binding;
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    result.action = QStringLiteral("Open application");
    result.argument = path;
    result.scriptName = applicationName(path);
    result.imagePath.reset();
    return result;
}
