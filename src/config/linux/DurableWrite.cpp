#include "config/DurableWrite.h"

#include "core/ActionError.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

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

// Marks a temporary file as this program's: the start-up sweep removes nothing else, so a user's
// own ".bindings.json.backup" beside the file stays.
constexpr char temporaryMarker[] = ".quorvel-save-";

// The file that writing `path` replaces: `path` itself, or the end of its chain of symbolic
// links, so that a link into a dotfile repository stays a link. A link to a file that does not
// exist yet leads to that name, which the write then creates.
QString replacedFile(const QString& path) {
    namespace fs = std::filesystem;
    fs::path current(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    // Linux follows at most 40 links before giving up with ELOOP; so do we.
    for (int hop = 0; hop <= 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) {
            return QFile::decodeName(QByteArray::fromStdString(current.string()));
        }
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            failWriting(path, error.value());
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    failWriting(path, ELOOP);
}

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
    const QFileInfo info(replacedFile(path));
    const QString written = info.absoluteFilePath();
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    // Hidden, and named after the file it replaces, so that one left behind by a killed process
    // is recognisable.
    QByteArray pattern =
        folder + "/." + QFile::encodeName(info.fileName()) + temporaryMarker + "XXXXXX";

    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        failWriting(written, errno);
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
        failWriting(written, error);
    }
    if (::fsync(fd) != 0) {
        failWriting(written, errno);
    }
    if (temporary.close() != 0) {
        failWriting(written, errno);
    }
    if (::rename(temporary.path().constData(), target.constData()) != 0) {
        failWriting(written, errno);
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
    QFileInfo info;
    try {
        info = QFileInfo(replacedFile(path));
    } catch (const ActionError&) {
        return;  // a loop of links: nothing of ours can be there
    }
    // mkostemp fills the six places with letters and digits.
    const QRegularExpression leftover(
        QStringLiteral("^\\.%1%2[A-Za-z0-9]{6}$")
            .arg(QRegularExpression::escape(info.fileName()),
                 QRegularExpression::escape(QString::fromLatin1(temporaryMarker))));
    QDir folder = info.absoluteDir();
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : entries) {
        if (leftover.match(name).hasMatch()) {
            folder.remove(name);
        }
    }
}

std::optional<FileVersion> fileVersion(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    constexpr int64_t nanoseconds = 1000000000;
    return FileVersion{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                       static_cast<int64_t>(info.st_size),
                       info.st_mtim.tv_sec * nanoseconds + info.st_mtim.tv_nsec,
                       info.st_ctim.tv_sec * nanoseconds + info.st_ctim.tv_nsec};
}
