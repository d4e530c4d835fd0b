#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>

// The file-system side of settings bundles: a bundle folder read without following any link
// inside it, and a bundle folder written in one piece.
//
// Reading holds the bundle folder open, so a rename of the folder during the read changes
// nothing, and opens every file and folder inside it relative to its parent with links refused:
// a link or a special file (a FIFO that would block, a device) is refused however it got there,
// also when it was swapped in after a check. Any thread; throws ActionError.
class SettingsBundleFolder {
public:
    // Opens the folder at `path`; a link at `path` itself is followed (it is what the user
    // named). A missing path, or one that is not a folder, throws.
    explicit SettingsBundleFolder(const QString& path);
    ~SettingsBundleFolder();
    SettingsBundleFolder(const SettingsBundleFolder&) = delete;
    SettingsBundleFolder& operator=(const SettingsBundleFolder&) = delete;

    // The folder `relative` ("assets/<UUID>") must be a real folder, each of its components
    // too.
    void requireFolder(const QString& relative) const;
    // The size and then the bytes of the regular file `relative`; a file larger than `limit`
    // bytes, by its attributes or as read, throws `oversizedMessage` without reading it whole.
    int64_t fileSize(const QString& relative) const;
    QByteArray readFile(const QString& relative, int64_t limit,
                        const QString& oversizedMessage) const;

    // Writes the bundle at `target`: first as a new folder beside it holding `folders` and
    // `files` (relative paths, parents listed first), flushed to the disk, then renamed into
    // place. An existing file or settings bundle at `target` is replaced (the old one removed
    // after the exchange); another existing folder is refused. Nothing is left behind on failure.
    static void write(const QString& target, const QStringList& folders,
                      const QList<QPair<QString, QByteArray>>& files);

private:
    int openChain(const QString& relative, bool folder) const;

    QString path_;
    int fd_ = -1;
};
