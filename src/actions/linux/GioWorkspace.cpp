#include "actions/linux/GioWorkspace.h"

#include "core/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace {

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

QString takeError(GError*& error, const QString& fallback) {
    const QString text = error != nullptr ? QString::fromUtf8(error->message) : fallback;
    g_clear_error(&error);
    return text;
}

GObjectPtr<GAppLaunchContext> launchContext() {
    return GObjectPtr<GAppLaunchContext>(g_app_launch_context_new());
}

// Opens `uri` with the default handler for its type; false (and a log line) when there is none
// or it failed to start.
bool launchDefault(const QByteArray& uri) {
    GError* error = nullptr;
    const auto context = launchContext();
    if (g_app_info_launch_default_for_uri(uri.constData(), context.get(), &error)) {
        return true;
    }
    logLine("Opening %s failed: %s", uri.constData(),
            qUtf8Printable(takeError(error, QStringLiteral("no handler"))));
    return false;
}

GObjectPtr<GDesktopAppInfo> applicationWithId(const QString& id) {
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new(id.toUtf8().constData()));
    if (!info && !id.endsWith(QLatin1String(".desktop"))) {
        info.reset(g_desktop_app_info_new((id + ".desktop").toUtf8().constData()));
    }
    return info;
}

// Icons come from files we do not control; anything larger than this is not an icon.
constexpr int largestIconSide = 2048;

QImage imageFromFile(const QString& path, int size) {
    QImageReader reader(path);
    const QSize original = reader.size();
    if (!original.isValid() || original.width() > largestIconSide ||
        original.height() > largestIconSide) {
        return {};
    }
    reader.setScaledSize(original.scaled(size, size, Qt::KeepAspectRatio));
    return reader.read();
}

QImage imageFromIcon(GIcon* icon, int size) {
    if (G_IS_FILE_ICON(icon)) {
        char* path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)));
        const QImage image = path ? imageFromFile(QFile::decodeName(path), size) : QImage();
        g_free(path);
        return image;
    }
    if (G_IS_THEMED_ICON(icon)) {
        for (const gchar* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon));
             name != nullptr && *name != nullptr; ++name) {
            const QIcon themed = QIcon::fromTheme(QString::fromUtf8(*name));
            if (!themed.isNull()) {
                return themed.pixmap(size, size).toImage();
            }
        }
    }
    return {};
}

}  // namespace

QString GioWorkspace::openApplication(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return QStringLiteral("The application %1 could not be found").arg(path);
    }
    GObjectPtr<GDesktopAppInfo> info(
        g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    if (!info) {
        return QStringLiteral("%1 is not an application (a .desktop file)").arg(path);
    }
    GError* error = nullptr;
    const auto context = launchContext();
    if (!g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error)) {
        return takeError(error,
                         QStringLiteral("The application %1 could not be started").arg(path));
    }
    return {};
}

bool GioWorkspace::isPackage(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir()) {
        return false;
    }
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("app") || suffix == QLatin1String("appdir")) {
        return true;
    }
    // An AppDir is recognised by its entry point whatever the folder is called.
    const QFileInfo entry(info.filePath() + "/AppRun");
    return entry.isFile() && entry.isExecutable();
}

bool GioWorkspace::openFolder(const QString& path) {
    return launchDefault(QUrl::fromLocalFile(path).toEncoded());
}

bool GioWorkspace::openUrl(const QUrl& url) {
    return launchDefault(url.toEncoded());
}

QString GioWorkspace::applicationPath(const QString& id) {
    if (id.isEmpty()) {
        return {};
    }
    const auto info = applicationWithId(id);
    if (!info) {
        return {};
    }
    const char* file = g_desktop_app_info_get_filename(info.get());
    return file != nullptr ? QFile::decodeName(file) : QString();
}

QString GioWorkspace::openUrlWith(const QUrl& url, const QString& id) {
    const auto info = applicationWithId(id);
    if (!info) {
        return QStringLiteral("The application %1 is not installed").arg(id);
    }
    const QByteArray uri = url.toEncoded();
    GList* uris = g_list_append(nullptr, const_cast<char*>(uri.constData()));
    GError* error = nullptr;
    const auto context = launchContext();
    const gboolean launched =
        g_app_info_launch_uris(G_APP_INFO(info.get()), uris, context.get(), &error);
    g_list_free(uris);
    if (!launched) {
        return takeError(error, QStringLiteral("The application %1 could not be started").arg(id));
    }
    return {};
}

QImage GioWorkspace::icon(const QString& path, int size) {
    const QByteArray file = QFile::encodeName(path);
    if (path.endsWith(QLatin1String(".desktop"))) {
        GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.constData()));
        GIcon* icon = info ? g_app_info_get_icon(G_APP_INFO(info.get())) : nullptr;
        if (icon != nullptr) {
            return imageFromIcon(icon, size);
        }
    }
    GObjectPtr<GFile> location(g_file_new_for_path(file.constData()));
    GObjectPtr<GFileInfo> info(g_file_query_info(location.get(), G_FILE_ATTRIBUTE_STANDARD_ICON,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    GIcon* icon = info ? g_file_info_get_icon(info.get()) : nullptr;
    return icon != nullptr ? imageFromIcon(icon, size) : QImage();
}

QList<InstalledBrowser> GioWorkspace::browsers() {
    QList<InstalledBrowser> result;
    GList* all = g_app_info_get_all_for_type("x-scheme-handler/https");
    for (GList* item = all; item != nullptr; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        const char* id = g_app_info_get_id(info);
        const char* const* types = g_app_info_get_supported_types(info);
        bool html = false;
        for (; types != nullptr && *types != nullptr && !html; ++types) {
            html =
                qstrcmp(*types, "text/html") == 0 || qstrcmp(*types, "application/xhtml+xml") == 0;
        }
        if (id != nullptr && html) {
            result << InstalledBrowser{QString::fromUtf8(id),
                                       QString::fromUtf8(g_app_info_get_name(info))};
        }
    }
    g_list_free_full(all, g_object_unref);
    return result;
}
