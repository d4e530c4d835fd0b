#pragma once

#include "config/DurableWrite.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The file operations that loading, backing up and saving configuration files need. The base
// class does them on the real file system; a subclass can make chosen operations fail to show
// what the callers do then (a permission that root ignores, a full disk).
//
// Every operation that can fail throws ActionError whose message names the file and the
// reason. Stateless; safe on any thread.
class ConfigurationFileSystem {
public:
    virtual ~ConfigurationFileSystem() = default;

    // Whether anything is at `path` (following symbolic links), a folder included.
    virtual bool exists(const QString& path) const;
    // The whole content of the regular file at `path`, read into a buffer of the file's size.
    // Folders, pipes, sockets and devices are refused without being opened, since opening a
    // pipe would block for ever.
    virtual QByteArray read(const QString& path) const;
    // Copies the regular file `from` to the new file `to`; fails if `to` exists. Never changes
    // `from`.
    virtual void copy(const QString& from, const QString& to) const;
    // Creates the folder and any missing parents; an existing folder is no error.
    virtual void makeFolder(const QString& path) const;
    // Replaces the file at `path` with `bytes` so that a reader, or the next start after a
    // crash or power loss, sees either the old or the new content in full.
    virtual void writeAtomically(const QString& path, const QByteArray& bytes) const;
    // Which version of the file is at `path` (following links); none when there is no file.
    virtual std::optional<FileVersion> version(const QString& path) const;

    // Files larger than this are not read: no configuration comes near it, and reading a huge
    // file into memory would only end in a crash.
    static constexpr qint64 maximumFileSize = 64 * 1024 * 1024;
};
