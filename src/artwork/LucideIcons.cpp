#include "artwork/LucideIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
std::optional<QString> findFile(const QString& fileName) {
    for (const QString& folder : LucideIcons::searchFolders()) {
        const QFileInfo info(QDir(folder).filePath(fileName));
        if (info.isFile()) {
            return info.absoluteFilePath();
        }
    }
    return std::nullopt;
}
}  // namespace

QStringList LucideIcons::searchFolders() {
    QStringList folders;
    const QString override = qEnvironmentVariable("QUORVEL_LUCIDE_DIR");
    if (!override.isEmpty()) {
        folders << override;
    }
    if (QCoreApplication::instance()) {
        folders << QDir(QCoreApplication::applicationDirPath())
                       .filePath(QStringLiteral("../share/quorvel/Lucide"));
    }
#ifdef QUORVEL_LUCIDE_BUILD_DIR
    folders << QStringLiteral(QUORVEL_LUCIDE_BUILD_DIR);
#endif
#ifdef QUORVEL_LUCIDE_INSTALL_DIR
    folders << QStringLiteral(QUORVEL_LUCIDE_INSTALL_DIR);
#endif
    return folders;
}

std::optional<QString> LucideIcons::iconPath(const QString& name) {
    static const QRegularExpression validName(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    if (!validName.match(name).hasMatch()) {
        return std::nullopt;
    }
    return findFile(name + QStringLiteral(".svg"));
}

std::optional<QString> LucideIcons::licensePath() {
    return findFile(licenseFileName());
}
