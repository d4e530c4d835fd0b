#pragma once

#include "config/ConfigurationFileSystem.h"
#include "config/SavedConfiguration.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// Small file helpers for the configuration tests; every path lives in a QTemporaryDir.
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);
// The names in `folder`, hidden ones included, without "." and "..".
QStringList folderEntries(const QString& folder);

// Whether file permissions stop this process (they do not when it runs as root, or with
// CAP_DAC_OVERRIDE). Found out by trying, not by asking for the user id.
bool permissionsAreEnforced();

// A configuration with bindings of every shape: names, actions, arguments with slashes,
// optional fields set and unset, modifiers above 2^63.
SavedConfiguration sampleConfiguration(int sceneCount);

// The real file system, except that copies and writes to chosen paths fail the way a
// read-only folder or a full disk makes them fail.
class FailingFileSystem : public ConfigurationFileSystem {
public:
    QSet<QString> failCopiesFrom;
    QSet<QString> failWritesTo;

    void copy(const QString& from, const QString& to) const override;
    void writeAtomically(const QString& path, const QByteArray& bytes) const override;
};
