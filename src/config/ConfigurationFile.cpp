#include "config/ConfigurationFile.h"

#include <QDir>
#include <QTimeZone>

namespace {

// Far beyond any real number of backups made within one second; it only stops a loop over a
// folder that claims every name exists.
constexpr int maximumBackupSuffix = 100000;

}  // namespace

QString ConfigurationFile::backupDateText(const QDateTime& date) {
    // QDateTime::toString with a format uses the C locale, so the digits are always ASCII.
    return date.toTimeZone(QTimeZone::utc()).toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString ConfigurationFile::backUp(const QString& path, const QDateTime& date,
                                  const ConfigurationFileSystem& files) {
    const QFileInfo info(path);
    QString base = info.completeBaseName();
    QString extension = info.suffix();
    if (base.isEmpty()) {
        // A dot file such as ".json" has a name but no extension.
        base = info.fileName();
        extension.clear();
    }
    const QDir folder = info.absoluteDir();
    const QString stem = base + QStringLiteral(".malformed-") + backupDateText(date);
    for (int n = 1; n <= maximumBackupSuffix; ++n) {
        QString name = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (!extension.isEmpty()) {
            name += QLatin1Char('.') + extension;
        }
        const QString candidate = folder.filePath(name);
        // A dangling link counts as taken: copying onto it would write wherever it points.
        if (files.exists(candidate) || QFileInfo(candidate).isSymLink()) {
            continue;
        }
        files.copy(path, candidate);
        return candidate;
    }
    throw ActionError::failed(
        QStringLiteral("No free name was found for a backup of “%1”.").arg(info.fileName()));
}

ConfigurationRecovery ConfigurationFile::recover(const QString& path, const QString& problem,
                                                 const QDateTime& date,
                                                 const ConfigurationFileSystem& files) {
    ConfigurationRecovery recovery;
    recovery.originalURL = path;
    recovery.problem = problem;
    try {
        recovery.backupURL = backUp(path, date, files);
    } catch (const ActionError& error) {
        recovery.backupProblem = error.message();
    }
    return recovery;
}
