#include "config/SettingsBundleFolder.h"

#include "config/SettingsArchive.h"
#include "core/ActionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void notFound(const QString& relative) {
    throw ActionError::failed(
        QStringLiteral("The file “%1” couldn’t be opened because there is no such file")
            .arg(relative));
}

[[noreturn]] void unreadable(const QString& relative, int error) {
    throw ActionError::failed(
        QStringLiteral("The file “%1” couldn’t be opened: %2").arg(relative, reason(error)));
}

struct Descriptor {
    int fd = -1;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

QByteArray encoded(const QString& name) {
    return QFile::encodeName(name);
}

// Opens `name` inside `parent` with links refused, and checks the type on the open descriptor.
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
int openChecked(int parent, const QString& name, const QString& relative, bool folder) {
    struct stat status {};
    if (::fstatat(parent, encoded(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            notFound(relative);
        }
        unreadable(relative, errno);
    }
    if (folder ? !S_ISDIR(status.st_mode) : !S_ISREG(status.st_mode)) {
        throw ActionError::failed(SettingsArchive::symbolicLinkMessage());
    }
    const int flags =
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (folder ? O_DIRECTORY : 0);
    const int fd = ::openat(parent, encoded(name).constData(), flags);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR || errno == ENXIO) {
            throw ActionError::failed(SettingsArchive::symbolicLinkMessage());
        }
        if (errno == ENOENT) {
            notFound(relative);
        }
        unreadable(relative, errno);
    }
    // Swapped between the look and the open.
    if (::fstat(fd, &status) != 0 ||
        (folder ? !S_ISDIR(status.st_mode) : !S_ISREG(status.st_mode))) {
        ::close(fd);
        throw ActionError::failed(SettingsArchive::symbolicLinkMessage());
    }
    return fd;
}

void writeAll(int fd, const QByteArray& bytes, const QString& where) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            throw ActionError::failed(
                QStringLiteral("Could not write “%1”: %2").arg(where, reason(errno)));
        }
        done += wrote;
    }
}

void syncFolder(const QByteArray& path) {
    const Descriptor folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd >= 0) {
        ::fsync(folder.fd);
    }
}

void removeTree(const QByteArray& path) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path.toStdString()), ignored);
}

}  // namespace

SettingsBundleFolder::SettingsBundleFolder(const QString& path) : path_(path) {
    fd_ = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        if (errno == ENOENT) {
            notFound(path);
        }
        unreadable(path, errno);
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || !S_ISDIR(status.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw ActionError::failed(
            QStringLiteral("Open a .quorvel settings bundle, not a standalone file"));
    }
}

SettingsBundleFolder::~SettingsBundleFolder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int SettingsBundleFolder::openChain(const QString& relative, bool folder) const {
    const QStringList parts = relative.split(QLatin1Char('/'));
    int current = fd_;
    int owned = -1;
    for (qsizetype index = 0; index < parts.size(); ++index) {
        const bool last = index == parts.size() - 1;
        // Only checked paths reach here; an empty or dot component would still be a fault.
        if (parts[index].isEmpty() || parts[index] == QLatin1String(".") ||
            parts[index] == QLatin1String("..")) {
            if (owned >= 0) {
                ::close(owned);
            }
            throw ActionError::failed(QStringLiteral("Invalid artwork path in settings bundle"));
        }
        int next = -1;
        try {
            next = openChecked(current, parts[index], relative, last ? folder : true);
        } catch (...) {
            if (owned >= 0) {
                ::close(owned);
            }
            throw;
        }
        if (owned >= 0) {
            ::close(owned);
        }
        owned = next;
        current = next;
    }
    return owned;
}

void SettingsBundleFolder::requireFolder(const QString& relative) const {
    const Descriptor folder(openChain(relative, true));
}

int64_t SettingsBundleFolder::fileSize(const QString& relative) const {
    const Descriptor file(openChain(relative, false));
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        unreadable(relative, errno);
    }
    return status.st_size;
}

QByteArray SettingsBundleFolder::readFile(const QString& relative, int64_t limit,
                                          const QString& oversizedMessage) const {
    const Descriptor file(openChain(relative, false));
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        unreadable(relative, errno);
    }
    if (status.st_size > limit) {
        throw ActionError::failed(oversizedMessage);
    }
    // One byte more than the limit, to notice a file that grew since it was measured.
    QByteArray bytes;
    bytes.resize(qsizetype(status.st_size) + 1);
    int64_t filled = 0;
    for (;;) {
        if (filled == int64_t(bytes.size())) {
            if (filled > limit) {
                throw ActionError::failed(oversizedMessage);
            }
            bytes.resize(qsizetype(std::min(filled * 2, limit + 1)));
        }
        const ssize_t got = ::read(file.fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            unreadable(relative, errno);
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    if (filled > limit) {
        throw ActionError::failed(oversizedMessage);
    }
    bytes.truncate(qsizetype(filled));
    return bytes;
}

void SettingsBundleFolder::write(const QString& target, const QStringList& folders,
                                 const QList<QPair<QString, QByteArray>>& files) {
    const QFileInfo info(target);
    const QString parent = info.absolutePath();
    const QString name = info.fileName();
    if (name.isEmpty() || !QFileInfo(parent).isDir()) {
        throw ActionError::failed(
            QStringLiteral("The folder “%1” does not exist").arg(QDir::toNativeSeparators(parent)));
    }
    const QByteArray finalPath = encoded(info.absoluteFilePath());
    struct stat existing {};
    const bool exists = ::lstat(finalPath.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        // Replacing deletes the old folder; only ever one that is itself a bundle, so that a
        // mistyped name cannot wipe out a folder of the user's.
        struct stat manifest {};
        const QByteArray manifestPath = finalPath + '/' + encoded(SettingsArchive::manifestName());
        if (::lstat(manifestPath.constData(), &manifest) != 0 || !S_ISREG(manifest.st_mode)) {
            throw ActionError::failed(
                QStringLiteral(
                    "“%1” is a folder that is not a settings bundle; choose another name")
                    .arg(info.absoluteFilePath()));
        }
    }

    QByteArray temporary = encoded(parent + QStringLiteral("/.") + name) + ".quorvel-export-XXXXXX";
    if (!::mkdtemp(temporary.data())) {
        throw ActionError::failed(
            QStringLiteral("Could not write “%1”: %2").arg(info.absoluteFilePath(), reason(errno)));
    }
    try {
        for (const QString& folder : folders) {
            const QByteArray path = temporary + '/' + encoded(folder);
            if (::mkdir(path.constData(), 0777) != 0) {
                throw ActionError::failed(
                    QStringLiteral("Could not write “%1”: %2").arg(folder, reason(errno)));
            }
        }
        // mkdtemp makes the bundle private (0700); it gets the user's usual folder mode, the
        // one the umask gave the folders inside it.
        struct stat inner {};
        if (!folders.isEmpty() &&
            ::stat((temporary + '/' + encoded(folders.first())).constData(), &inner) == 0) {
            ::chmod(temporary.constData(), inner.st_mode & 07777);
        }
        for (const auto& [relative, bytes] : files) {
            const QByteArray path = temporary + '/' + encoded(relative);
            const Descriptor file(
                ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (file.fd < 0) {
                throw ActionError::failed(
                    QStringLiteral("Could not write “%1”: %2").arg(relative, reason(errno)));
            }
            writeAll(file.fd, bytes, relative);
            if (::fsync(file.fd) != 0) {
                throw ActionError::failed(
                    QStringLiteral("Could not write “%1”: %2").arg(relative, reason(errno)));
            }
        }
        for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
            syncFolder(temporary + '/' + encoded(*folder));
        }
        syncFolder(temporary);
        if (exists) {
            if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, finalPath.constData(),
                            RENAME_EXCHANGE) != 0) {
                throw ActionError::failed(QStringLiteral("Could not write “%1”: %2")
                                              .arg(info.absoluteFilePath(), reason(errno)));
            }
        } else if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, finalPath.constData(),
                               RENAME_NOREPLACE) != 0) {
            throw ActionError::failed(QStringLiteral("Could not write “%1”: %2")
                                          .arg(info.absoluteFilePath(), reason(errno)));
        }
    } catch (...) {
        removeTree(temporary);
        throw;
    }
    // After an exchange the temporary name holds the old bundle.
    removeTree(temporary);
    syncFolder(encoded(parent));
}
