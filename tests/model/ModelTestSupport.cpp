#include "ModelTestSupport.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"
#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

QString SettingsRoot::file(const QString& deviceID, const char* name) const {
    return QDir(dir_.filePath(deviceID)).filePath(QString::fromLatin1(name));
}

void SettingsRoot::put(const QString& deviceID, const char* name, const QByteArray& bytes) const {
    QDir().mkpath(dir_.filePath(deviceID));
    QFile out(file(deviceID, name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(out.write(bytes), bytes.size());
}

void SettingsRoot::putScenes(const QString& deviceID,
                             const SavedConfiguration& configuration) const {
    put(deviceID, "bindings.json", ConfigurationJson::encode(configuration));
}

QByteArray SettingsRoot::read(const QString& deviceID, const char* name) const {
    QFile in(file(deviceID, name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

SavedConfiguration SettingsRoot::readScenes(const QString& deviceID) const {
    return ConfigurationJson::decodeConfiguration(read(deviceID, "bindings.json"));
}

void FailingFileSystem::copy(const QString& from, const QString& to) const {
    if (failCopiesFrom.contains(from)) {
        throw ActionError::failed(QStringLiteral("You don’t have permission to save the file."));
    }
    ConfigurationFileSystem::copy(from, to);
}

void FailingFileSystem::writeAtomically(const QString& path, const QByteArray& bytes) const {
    if (failWritesTo.contains(path)) {
        throw ActionError::failed(QStringLiteral("There isn’t enough space on the disk."));
    }
    ConfigurationFileSystem::writeAtomically(path, bytes);
}

std::shared_ptr<TestDirectory> TestDirectory::install() {
    auto directory = std::make_shared<TestDirectory>();
    ScriptingRegistry::shared().setModelDirectory(directory);
    return directory;
}

SignalLog::SignalLog(Model& model) {
    const auto record = [this](const char* name) {
        return [this, name] { names.append(QLatin1String(name)); };
    };
    QObject::connect(&model, &Model::connectedChanged, record("connected"));
    QObject::connect(&model, &Model::messageChanged, record("message"));
    QObject::connect(&model, &Model::recordingChanged, record("recording"));
    QObject::connect(&model, &Model::scenesChanged, record("scenes"));
    QObject::connect(&model, &Model::activeSceneIDChanged, record("activeSceneID"));
    QObject::connect(&model, &Model::displayBrightnessChanged, record("displayBrightness"));
    QObject::connect(&model, &Model::padFollowMacChanged, record("padFollowMac"));
    QObject::connect(&model, &Model::deviceNameChanged, record("deviceName"));
    QObject::connect(&model, &Model::changed, record("changed"));
    QObject::connect(&model, &Model::siteIconScheduleRequested, record("siteIcons"));
    QObject::connect(&model, &Model::displayRefreshRequested, record("refresh"));
}

SavedConfiguration scenesOf(int count, DeviceKind kind) {
    SavedConfiguration configuration;
    for (int index = 0; index < count; ++index) {
        configuration.scenes.append(DefaultConfiguration::scene(kind));
    }
    configuration.activeSceneID = configuration.scenes.first().id;
    return configuration;
}
