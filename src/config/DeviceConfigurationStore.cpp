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

// A loaded configuration fitted to the pad: every scene holds the kind's controls in their
// order, and the active scene exists. None when there is no scene, which leaves the defaults.
std::optional<SavedConfiguration> fitted(SavedConfiguration loaded, DeviceKind kind) {
    if (loaded.scenes.isEmpty()) {
        return std::nullopt;
    }
    const QList<Binding> defaults = DefaultConfiguration::bindings(kind);
    for (QuorvelScene& scene : loaded.scenes) {
        scene.keys = DefaultConfiguration::merging(scene.keys, defaults);
    }
    const bool activeExists =
        std::any_of(loaded.scenes.cbegin(), loaded.scenes.cend(),
                    [&](const QuorvelScene& scene) { return scene.id == loaded.activeSceneID; });
    if (!activeExists) {
        loaded.activeSceneID = loaded.scenes.first().id;
    }
    return loaded;
}

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

template <typename T>
ConfigurationLoadResult<T> DeviceConfigurationStore::loadFile(const QString& path,
                                                              KnownContent& known,
                                                              T (*decode)(const QByteArray&),
                                                              const QDateTime& date) {
    // The version before the read: a write that lands while reading then shows as a change.
    known = KnownContent{files_->version(path), {}};
    return ConfigurationFile::load<T>(
        path,
        [&known, decode](const QByteArray& bytes) {
            known.bytes = bytes;
            return decode(bytes);
        },
        date, *files_);
}

DeviceConfigurationState DeviceConfigurationStore::load(const DeviceAppearance& initial,
                                                        const QDateTime& date) {
    // A save interrupted by a crash or kill in an earlier run leaves its temporary file.
    removeLeftoverTemporaryFiles(configURL_);
    removeLeftoverTemporaryFiles(appearanceURL_);

    DeviceConfigurationState state;
    state.configuration = DefaultConfiguration::configuration(kind_);
    state.appearance = initial;

    auto bindings = loadFile<SavedConfiguration>(configURL_, configurationKnown_,
                                                 &ConfigurationJson::decodeConfiguration, date);
    if (SavedConfiguration* loaded = bindings.value()) {
        if (std::optional<SavedConfiguration> configuration = fitted(std::move(*loaded), kind_)) {
            state.configuration = std::move(*configuration);
        }
    } else if (const ConfigurationRecovery* recovery = bindings.recovery()) {
        recoveries_.append(*recovery);
        state.saveDue = true;
    }

    const auto appearance = loadFile<AppearanceMap>(appearanceURL_, appearanceKnown_,
                                                    &ConfigurationJson::decodeAppearance, date);
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

ExternalChanges DeviceConfigurationStore::reloadChangedFiles(const DeviceAppearance& current,
                                                             const QDateTime& date) {
    ExternalChanges changes;
    const QSet<QString> protectedFiles = protectedURLs();
    if (!protectedFiles.contains(configURL_) && changedOnDisk(configurationKnown_, configURL_)) {
        auto bindings = loadFile<SavedConfiguration>(configURL_, configurationKnown_,
                                                     &ConfigurationJson::decodeConfiguration, date);
        if (SavedConfiguration* loaded = bindings.value()) {
            changes.configuration = fitted(std::move(*loaded), kind_)
                                        .value_or(DefaultConfiguration::configuration(kind_));
        } else if (const ConfigurationRecovery* recovery = bindings.recovery()) {
            recoveries_.append(*recovery);
            changes.recoveries.append(*recovery);
        }
    }
    if (!protectedFiles.contains(appearanceURL_) &&
        changedOnDisk(appearanceKnown_, appearanceURL_)) {
        const auto appearance = loadFile<AppearanceMap>(appearanceURL_, appearanceKnown_,
                                                        &ConfigurationJson::decodeAppearance, date);
        if (const AppearanceMap* map = appearance.value()) {
            changes.appearance = DeviceAppearance::read(*map, current);
        } else if (const ConfigurationRecovery* recovery = appearance.recovery()) {
            recoveries_.append(*recovery);
            changes.recoveries.append(*recovery);
        }
    }
    return changes;
}

bool DeviceConfigurationStore::changedOnDisk(KnownContent& known, const QString& path) const {
    const std::optional<FileVersion> version = files_->version(path);
    if (!version || version == known.version) {
        return false;  // a file that was removed is written again by the next save
    }
    try {
        if (files_->read(path) == known.bytes) {
            known.version = version;
            return false;
        }
    } catch (const ActionError&) {
        // Unreadable now: loading it sets it aside.
    }
    return true;
}

void DeviceConfigurationStore::write(KnownContent& known, const QString& path,
                                     const QByteArray& bytes) {
    files_->writeAtomically(path, bytes);
    known = KnownContent{files_->version(path), bytes};
}

void DeviceConfigurationStore::saveConfiguration(const SavedConfiguration& configuration) {
    if (protectedURLs().contains(configURL_)) {
        return;
    }
    write(configurationKnown_, configURL_, ConfigurationJson::encode(configuration));
}

void DeviceConfigurationStore::saveAppearance(const DeviceAppearance& appearance) {
    if (protectedURLs().contains(appearanceURL_)) {
        return;
    }
    files_->makeFolder(folder_);
    write(appearanceKnown_, appearanceURL_, ConfigurationJson::encode(appearance.toMap()));
}

DeviceSaveResult DeviceConfigurationStore::save(const SavedConfiguration& configuration,
                                                const DeviceAppearance& appearance) {
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
