#pragma once

#include "config/ConfigurationFileSystem.h"
#include "config/SavedConfiguration.h"
#include "device/DeviceKind.h"

#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

// Writes `bytes` to `path`, creating its folder (a test failure when it cannot).
void writeBytes(const QString& path, const QByteArray& bytes);
// The names in `folder`, hidden ones included, without "." and "..".
QStringList folderEntries(const QString& folder);

// Scenes with the default bindings of `kind`, each with a fresh id, the first active.
SavedConfiguration scenesOf(int count, DeviceKind kind);
// MSD-TWO scenes with bindings of every shape: names, actions, arguments with slashes and
// newlines, optional fields set and unset, modifiers above 2^63.
SavedConfiguration sampleConfiguration(int sceneCount);

// A settings root in a temporary folder: a device's files, laid down and read back.
class SettingsRoot {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& deviceID, const char* name) const {
        return dir_.filePath(deviceID + "/" + name);
    }
    void put(const QString& deviceID, const char* name, const QByteArray& bytes) const {
        writeBytes(file(deviceID, name), bytes);
    }
    void putScenes(const QString& deviceID, const SavedConfiguration& configuration) const;
    // Empty when the file does not exist.
    QByteArray read(const QString& deviceID, const char* name) const;
    SavedConfiguration readScenes(const QString& deviceID) const;

private:
    QTemporaryDir dir_;
};

// The real file system, except that copies from and writes to chosen paths fail the way a
// read-only folder or a full disk makes them fail.
class FailingFileSystem : public ConfigurationFileSystem {
public:
    QSet<QString> failCopiesFrom, failWritesTo;

    void copy(const QString& from, const QString& to) const override;
    void writeAtomically(const QString& path, const QByteArray& bytes) const override;
};
