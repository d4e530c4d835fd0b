#include "config/ConfigurationFileSystem.h"

#include "config/DurableWrite.h"
#include "core/ActionError.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

constexpr qint64 growthStep = 64 * 1024;

QString named(const QString& path) {
    return QFileInfo(path).fileName();
}

// Only regular files (or links to them) are opened: a folder cannot be read, and a pipe or
// device at a configuration path would block or never end.
void requireRegularFile(const QString& path, const char* verb) {
    const QFileInfo info(path);
    if (info.isDir()) {
        throw ActionError::failed(QStringLiteral("The file “%1” couldn’t be %2 because it is a "
                                                 "folder.")
                                      .arg(named(path), QString::fromLatin1(verb)));
    }
    if (!info.isFile()) {
        throw ActionError::failed(QStringLiteral("The file “%1” couldn’t be %2 because it is not "
                                                 "a regular file.")
                                      .arg(named(path), QString::fromLatin1(verb)));
    }
}

}  // namespace

bool ConfigurationFileSystem::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

QByteArray ConfigurationFileSystem::read(const QString& path) const {
    requireRegularFile(path, "opened");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ActionError::failed(QStringLiteral("The file “%1” couldn’t be opened: %2")
                                      .arg(named(path), file.errorString()));
    }
    if (file.size() > maximumFileSize) {
        throw ActionError::failed(
            QStringLiteral("The file “%1” couldn’t be read because it is too large (%2 bytes).")
                .arg(named(path))
                .arg(file.size()));
    }
    // Sized by the file as it is now, one byte more to notice one that is still growing; such a
    // file is read on in steps, never past the limit.
    const qint64 size = file.size();
    QByteArray bytes = file.read(size + 1);
    while (bytes.size() > size && bytes.size() <= maximumFileSize) {
        const QByteArray more = file.read(growthStep);
        if (more.isEmpty()) {
            break;
        }
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError) {
        throw ActionError::failed(QStringLiteral("The file “%1” couldn’t be read: %2")
                                      .arg(named(path), file.errorString()));
    }
    if (bytes.size() > maximumFileSize) {
        throw ActionError::failed(
            QStringLiteral("The file “%1” couldn’t be read because it is too large.")
                .arg(named(path)));
    }
    return bytes;
}

void ConfigurationFileSystem::copy(const QString& from, const QString& to) const {
    requireRegularFile(from, "copied");
    QFile source(from);
    if (!source.copy(to)) {
        throw ActionError::failed(QStringLiteral("“%1” couldn’t be copied to “%2”: %3")
                                      .arg(named(from), named(to), source.errorString()));
    }
}

void ConfigurationFileSystem::makeFolder(const QString& path) const {
    const QFileInfo info(path);
    if (info.isDir()) {
        return;
    }
    if (info.exists()) {
        throw ActionError::failed(
            QStringLiteral("The folder “%1” couldn’t be created because a file with that name "
                           "already exists.")
                .arg(path));
    }
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), error);
    if (error) {
        throw ActionError::failed(QStringLiteral("The folder “%1” couldn’t be created: %2")
                                      .arg(path, QString::fromLocal8Bit(error.message())));
    }
}

void ConfigurationFileSystem::writeAtomically(const QString& path, const QByteArray& bytes) const {
    writeFileDurably(path, bytes);
}

std::optional<FileVersion> ConfigurationFileSystem::version(const QString& path) const {
    return fileVersion(path);
}
