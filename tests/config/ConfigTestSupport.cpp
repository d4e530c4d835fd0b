#include "ConfigTestSupport.h"

#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool permissionsAreEnforced() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("probe"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        file.write("x");
    }
    QFile::setPermissions(path, QFileDevice::Permissions());
    QFile file(path);
    return !file.open(QIODevice::ReadOnly);
}

SavedConfiguration sampleConfiguration(int sceneCount) {
    SavedConfiguration configuration;
    const QList<Binding> defaults = DefaultConfiguration::bindings(DeviceKind::msdTwo);
    for (int s = 0; s < sceneCount; ++s) {
        QuorvelScene scene{QUuid::createUuid(), defaults, std::nullopt};
        if (s % 3 == 0) {
            scene.backgroundPath = QStringLiteral(
                                       "/home/user/.local/share/Quorvel/Devices/"
                                       "msdTwo-706f7274/Images/background-%1.png")
                                       .arg(s);
        }
        for (qsizetype k = 0; k < scene.keys.size(); ++k) {
            Binding& binding = scene.keys[k];
            switch (k % 6) {
                case 0:
                    binding.action = QStringLiteral("Open Web Address");
                    binding.argument =
                        QStringLiteral("https://example.org/path/to/page?q=%1").arg(s);
                    binding.browserBundleID = QStringLiteral("org.mozilla.firefox");
                    break;
                case 1:
                    binding.action = QStringLiteral("Keyboard Shortcut");
                    binding.keyCode = static_cast<uint16_t>(k + 12);
                    binding.modifiers = (uint64_t{1} << 63) | 0x100000;
                    binding.recordedShortcut = QStringLiteral("⌘⇧K");
                    break;
                case 2:
                    binding.action = QStringLiteral("Volume Up");
                    binding.adjustmentStep = 5;
                    break;
                case 3:
                    binding.action = QStringLiteral("Shell Script");
                    binding.argument = QStringLiteral("cd /tmp && echo \"done\" | tee /tmp/out\n");
                    break;
                case 4:
                    binding.action = QStringLiteral("Open Application");
                    binding.argument =
                        QStringLiteral("/usr/share/applications/org.gnome.Nautilus.desktop");
                    binding.imagePath = QStringLiteral("Images/key-%1-%2.png").arg(s).arg(k);
                    break;
                default:
                    break;
            }
            binding.name = QStringLiteral("Scene %1 control %2").arg(s + 1).arg(binding.id);
            binding.scriptName = QStringLiteral("Scene%1Button%2").arg(s + 1).arg(binding.id);
            binding.scriptID = QStringLiteral("button-%1-%2").arg(s).arg(binding.id);
        }
        configuration.scenes.append(scene);
    }
    configuration.activeSceneID =
        configuration.scenes.isEmpty() ? QUuid::createUuid() : configuration.scenes.last().id;
    return configuration;
}

void FailingFileSystem::copy(const QString& from, const QString& to) const {
    if (failCopiesFrom.contains(from)) {
        throw ActionError::failed(
            QStringLiteral("“%1” couldn’t be copied: Permission denied").arg(from));
    }
    ConfigurationFileSystem::copy(from, to);
}

void FailingFileSystem::writeAtomically(const QString& path, const QByteArray& bytes) const {
    if (failWritesTo.contains(path)) {
        throw ActionError::failed(QStringLiteral("No space left on device"));
    }
    ConfigurationFileSystem::writeAtomically(path, bytes);
}
