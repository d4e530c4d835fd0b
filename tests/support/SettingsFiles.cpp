#include "support/SettingsFiles.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"
#include "support/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

SavedConfiguration scenesOf(int count, DeviceKind kind) {
    SavedConfiguration configuration;
    for (int index = 0; index < count; ++index) {
        configuration.scenes.append(DefaultConfiguration::scene(kind));
    }
    configuration.activeSceneID = configuration.scenes.value(0).id;
    return configuration;
}

SavedConfiguration sampleConfiguration(int sceneCount) {
    SavedConfiguration configuration = scenesOf(sceneCount, DeviceKind::msdTwo);
    for (int s = 0; s < sceneCount; ++s) {
        QuorvelScene& scene = configuration.scenes[s];
        if (s % 3 == 0) {
            scene.backgroundPath =
                QString("/home/user/Devices/msdTwo-70/Images/background-%1.png").arg(s);
        }
        for (qsizetype k = 0; k < scene.keys.size(); ++k) {
            Binding& binding = scene.keys[k];
            if (k % 5 == 0) {
                binding.action = "Open URL";
                binding.argument = QString("https://example.org/path/to/page?q=%1").arg(s);
                binding.browserBundleID = "org.mozilla.firefox";
            } else if (k % 5 == 1) {
                binding.action = "Keystroke";
                binding.keyCode = static_cast<uint16_t>(k + 12);
                binding.modifiers = (uint64_t{1} << 63) | 0x100000;
                binding.recordedShortcut = "⌘⇧K";
            } else if (k % 5 == 2) {
                binding.action = "Volume up";
                binding.adjustmentStep = 5;
            } else if (k % 5 == 3) {
                binding.action = "Shell script";
                binding.argument = "cd /tmp && echo \"done\" | tee /tmp/out\n";
                binding.imagePath = QString("Images/key-%1-%2.png").arg(s).arg(k);
            }
            binding.name = QString("Scene %1 control %2").arg(s + 1).arg(binding.id);
            binding.scriptName = QString("Scene%1Button%2").arg(s + 1).arg(binding.id);
            binding.scriptID = QString("button-%1-%2").arg(s).arg(binding.id);
        }
    }
    if (sceneCount > 0) {
        configuration.activeSceneID = configuration.scenes.last().id;
    }
    return configuration;
}

void SettingsRoot::putScenes(const QString& deviceID,
                             const SavedConfiguration& configuration) const {
    put(deviceID, "bindings.json", ConfigurationJson::encode(configuration));
}

QByteArray SettingsRoot::read(const QString& deviceID, const char* name) const {
    return readFile(file(deviceID, name));
}

SavedConfiguration SettingsRoot::readScenes(const QString& deviceID) const {
    return ConfigurationJson::decodeConfiguration(read(deviceID, "bindings.json"));
}

void FailingFileSystem::copy(const QString& from, const QString& to) const {
    if (failCopiesFrom.contains(from)) {
        throw ActionError::failed(QString("“%1” couldn’t be copied: Permission denied").arg(from));
    }
    ConfigurationFileSystem::copy(from, to);
}

void FailingFileSystem::writeAtomically(const QString& path, const QByteArray& bytes) const {
    if (failWritesTo.contains(path)) {
        throw ActionError::failed("No space left on device");
    }
    ConfigurationFileSystem::writeAtomically(path, bytes);
}
