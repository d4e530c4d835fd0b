#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Writes `bytes` to a new temporary file beside `path`, flushes it to the disk, renames it over
// `path` and flushes the folder, so that `path` holds either its old or its new content in full
// whatever happens meanwhile (a crash, SIGKILL, power loss). An existing file's permission bits
// are kept. When `path` is a symbolic link (dotfile managers keep configuration elsewhere and
// link it in), the file at the end of the link is replaced the same way, in its own folder, and
// the link stays. Throws ActionError naming the file and the reason; the temporary file is
// removed on failure. Any thread.
void writeFileDurably(const QString& path, const QByteArray& bytes);

// Removes the temporary files that writeFileDurably(path, ...) leaves behind when its process is
// killed between creating and renaming one; names that it does not make are left alone. Only
// safe while nothing else writes `path`; the device's configuration store calls it once, before
// its first save. Failures are ignored.
void removeLeftoverTemporaryFiles(const QString& path);

// One version of a file on disk: a file replaced by another has a new inode, one written in
// place a new size or new modification and change times.
struct FileVersion {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedNanoseconds = 0;

    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// The version of the file at `path`, following symbolic links; none when there is none.
std::optional<FileVersion> fileVersion(const QString& path);
