#pragma once

#include "config/ConfigurationFileSystem.h"
#include "config/SavedConfiguration.h"
#include "device/DeviceKind.h"
#include "model/ModelDirectory.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class Model;

// A settings root in a temporary folder, with helpers to lay down a device's files before its
// model starts and to read them back afterwards.
class SettingsRoot {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& deviceID, const char* name) const;
    void put(const QString& deviceID, const char* name, const QByteArray& bytes) const;
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
    QSet<QString> failCopiesFrom;
    QSet<QString> failWritesTo;

    void copy(const QString& from, const QString& to) const override;
    void writeAtomically(const QString& path, const QByteArray& bytes) const override;
};

// A list of models, seen by the scripting registry for as long as the returned pointer lives
// (the registry holds it weakly).
class TestDirectory : public ModelDirectory {
public:
    static std::shared_ptr<TestDirectory> install();

    QList<const Model*> models() const override { return models_; }
    void add(const Model& model) { models_.append(&model); }

private:
    QList<const Model*> models_;
};

// The names of the model's signals in the order they were emitted.
class SignalLog {
public:
    explicit SignalLog(Model& model);
    QStringList names;
    int count(const char* name) const { return static_cast<int>(names.count(QLatin1String(name))); }
};

// Scenes with the default bindings of `kind`, each with a fresh id.
SavedConfiguration scenesOf(int count, DeviceKind kind);
