#include "config/DurableWrite.h"

#include "core/ActionError.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failWriting(const QString& path, int error) {
    throw ActionError::failed(
        QStringLiteral("The file “%1” couldn’t be saved in the folder “%2”: %3")
            .arg(QFileInfo(path).fileName(), QFileInfo(path).absolutePath(), reason(error)));
}

// Closes the descriptor and, unless released, removes the temporary file it belongs to.
class TemporaryFile {
public:
    TemporaryFile(int fd, QByteArray path) : fd_(fd), path_(std::move(path)) {}
    ~TemporaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.isEmpty()) {
            ::unlink(path_.constData());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    const QByteArray& path() const { return path_; }
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }
    void release() { path_.clear(); }

private:
    int fd_;
    QByteArray path_;
};

int writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

}  // namespace

void writeFileDurably(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    // Hidden, and named after the file it replaces, so that one left behind by a killed process
    // is recognisable.
    QByteArray pattern = folder + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";

    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        failWriting(path, errno);
    }
    TemporaryFile temporary(fd, pattern);

    struct stat existing {};
    if (::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        // mkostemp creates 0600; a new configuration file gets the usual mode under the umask.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    if (const int error = writeAll(fd, bytes)) {
        failWriting(path, error);
    }
    if (::fsync(fd) != 0) {
        failWriting(path, errno);
    }
    if (temporary.close() != 0) {
        failWriting(path, errno);
    }
    if (::rename(temporary.path().constData(), target.constData()) != 0) {
        failWriting(path, errno);
    }
    temporary.release();

    // The rename itself only survives a power loss once the folder is on the disk too.
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

void removeLeftoverTemporaryFiles(const QString& path) {
    const QFileInfo info(path);
    const QRegularExpression leftover(QStringLiteral("^\\.%1\\.[A-Za-z0-9]{6}$")
                                          .arg(QRegularExpression::escape(info.fileName())));
    QDir folder = info.absoluteDir();
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : entries) {
        if (leftover.match(name).hasMatch()) {
            folder.remove(name);
        }
    }
}
