#include "config/DeviceConfigurationStore.h"

#include "config/ConfigurationFile.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/DurableWrite.h"
#include "core/ActionError.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr QLatin1String legacyBackgroundKey("background");

}  // namespace

DeviceConfigurationStore::DeviceConfigurationStore(
    const QString& settingsRoot, const QString& deviceID, DeviceKind kind,
    std::shared_ptr<const ConfigurationFileSystem> files)
    : files_(files ? std::move(files) : std::make_shared<const ConfigurationFileSystem>()),
      kind_(kind),
      folder_(QDir(settingsRoot).filePath(deviceID)),
      configURL_(QDir(folder_).filePath(QStringLiteral("bindings.json"))),
      appearanceURL_(QDir(folder_).filePath(QStringLiteral("appearance.json"))) {
}

QString DeviceConfigurationStore::defaultSettingsRoot() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Quorvel/Devices"));
}

DeviceConfigurationState DeviceConfigurationStore::load(const DeviceAppearance& initial,
                                                        const QDateTime& date) {
    // A save interrupted by a crash or kill in an earlier run leaves its temporary file.
    removeLeftoverTemporaryFiles(configURL_);
    removeLeftoverTemporaryFiles(appearanceURL_);

    DeviceConfigurationState state;
    state.configuration = DefaultConfiguration::configuration(kind_);
    state.appearance = initial;
    const QList<Binding> defaults = DefaultConfiguration::bindings(kind_);

    auto bindings = ConfigurationFile::load<SavedConfiguration>(
        configURL_, &ConfigurationJson::decodeConfiguration, date, *files_);
    if (SavedConfiguration* loaded = bindings.value(); loaded && !loaded->scenes.isEmpty()) {
        for (QuorvelScene& scene : loaded->scenes) {
            scene.keys = DefaultConfiguration::merging(scene.keys, defaults);
        }
        const bool activeExists = std::any_of(
            loaded->scenes.cbegin(), loaded->scenes.cend(),
            [&](const QuorvelScene& scene) { return scene.id == loaded->activeSceneID; });
        if (!activeExists) {
            loaded->activeSceneID = loaded->scenes.first().id;
        }
        state.configuration = std::move(*loaded);
    } else if (const ConfigurationRecovery* recovery = bindings.recovery()) {
        recoveries_.append(*recovery);
        state.saveDue = true;
    }

    const auto appearance = ConfigurationFile::load<AppearanceMap>(
        appearanceURL_, &ConfigurationJson::decodeAppearance, date, *files_);
    if (const AppearanceMap* map = appearance.value()) {
        state.appearance = DeviceAppearance::read(*map, initial);
        QuorvelScene& first = state.configuration.scenes.first();
        if (map->contains(legacyBackgroundKey) && !first.backgroundPath) {
            first.backgroundPath = map->value(legacyBackgroundKey);
            state.saveDue = true;
        }
    } else if (const ConfigurationRecovery* recovery = appearance.recovery()) {
        recoveries_.append(*recovery);
        state.saveDue = true;
    }
    return state;
}

QSet<QString> DeviceConfigurationStore::protectedURLs() const {
    QSet<QString> result;
    for (const ConfigurationRecovery& recovery : recoveries_) {
        if (!recovery.backupURL) {
            result.insert(recovery.originalURL);
        }
    }
    return result;
}

void DeviceConfigurationStore::saveConfiguration(const SavedConfiguration& configuration) const {
    if (protectedURLs().contains(configURL_)) {
        return;
    }
    files_->writeAtomically(configURL_, ConfigurationJson::encode(configuration));
}

void DeviceConfigurationStore::saveAppearance(const DeviceAppearance& appearance) const {
    if (protectedURLs().contains(appearanceURL_)) {
        return;
    }
    files_->makeFolder(folder_);
    files_->writeAtomically(appearanceURL_, ConfigurationJson::encode(appearance.toMap()));
}

DeviceSaveResult DeviceConfigurationStore::save(const SavedConfiguration& configuration,
                                                const DeviceAppearance& appearance) const {
    try {
        files_->makeFolder(folder_);
        saveConfiguration(configuration);
        saveAppearance(appearance);
    } catch (const ActionError& error) {
        return {DeviceSaveResult::Status::failed,
                QStringLiteral("Could not save: ") + error.message()};
    } catch (const std::exception& error) {
        // Encoding can only fail on memory exhaustion; still a failed save, not a crash.
        return {DeviceSaveResult::Status::failed,
                QStringLiteral("Could not save: ") + QString::fromUtf8(error.what())};
    }
    if (!protectedURLs().isEmpty()) {
        return {DeviceSaveResult::Status::suspended, suspendedMessage()};
    }
    return {};
}

QString DeviceConfigurationStore::suspendedMessage() {
    return QStringLiteral(
        "Changes aren't being saved: fix or move the unreadable configuration file, then restart "
        "Quorvel Zodovuvur");
}
