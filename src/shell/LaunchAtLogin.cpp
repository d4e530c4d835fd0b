#include "shell/LaunchAtLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
// Quotes a path for an Exec key: inside double quotes, `"`, `` ` ``, `$` and `\` are escaped.
QString quotedForExec(const QString& path) {
    QString quoted;
    for (QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool isTrue(const QString& value) {
    return value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}
}  // namespace

QString LaunchAtLogin::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/org.quorvel.Zodovuvur.desktop");
}

LaunchAtLogin::Status LaunchAtLogin::status() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return Status::disabled;
    }
    // Read by hand: QSettings would apply its own escapes and list separators to the values.
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine(64 * 1024)).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("Hidden") && isTrue(value)) {
            return Status::disabled;
        }
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && !isTrue(value)) {
            return Status::disabled;
        }
    }
    return Status::enabled;
}

QString LaunchAtLogin::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            return QStringLiteral("%1 could not be removed: %2").arg(path, file.errorString());
        }
        return {};
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return QStringLiteral("The folder %1 could not be created.")
            .arg(QFileInfo(path).absolutePath());
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QStringLiteral("%1 could not be written: %2").arg(path, file.errorString());
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Quorvel Zodovuvur\n"
                              "Comment=Drives Mountain DisplayPad and MSD-TWO pads\n"
                              "Icon=org.quorvel.Zodovuvur\n"
                              "Exec=%1 --background\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(quotedForExec(QCoreApplication::applicationFilePath()));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        return QStringLiteral("%1 could not be written: %2").arg(path, file.errorString());
    }
    return {};
}
