#include "app/linux/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

QString InstanceLock::defaultPath() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isAbsolute()) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    }
    return QDir(base).filePath(QStringLiteral("Quorvel/instance.lock"));
}

InstanceLock::Result InstanceLock::acquire(const QString& path) {
    path_ = path;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        problem_ = QStringLiteral("its folder could not be created");
        return Result::failed;
    }
    // Close-on-exec: a script's background job must not inherit the descriptor and keep the lock
    // after this process has ended.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        problem_ = QString::fromLocal8Bit(std::strerror(errno));
        return Result::failed;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return Result::heldElsewhere;
        }
        problem_ = QString::fromLocal8Bit(std::strerror(error));
        return Result::failed;
    }
    fd_ = fd;
    return Result::acquired;
}
