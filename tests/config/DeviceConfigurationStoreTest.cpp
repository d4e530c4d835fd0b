#include "config/DeviceConfigurationStore.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"

#include "ConfigTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QString deviceID = QStringLiteral("msdTwo-706f72742d3030303030303261");
const DeviceAppearance initial{QStringLiteral("MSD-TWO"), 80, false};
const QDateTime morning(QDate(2026, 12, 5), QTime(6, 11, 0), QTimeZone::utc());

// A settings root with one device folder, and what a model's start-up would do with it.
struct Device {
    explicit Device(std::shared_ptr<const ConfigurationFileSystem> files = nullptr,
                    DeviceKind kind = DeviceKind::msdTwo)
        : store(root.path(), deviceID, kind, std::move(files)) {}

    QString file(const char* name) const {
        return QDir(store.folderPath()).filePath(QString::fromLatin1(name));
    }
    void put(const char* name, const QByteArray& bytes) const {
        QDir().mkpath(store.folderPath());
        writeBytes(file(name), bytes);
    }
    // Loads, and saves at once when a save is due, as the model's constructor does.
    DeviceConfigurationState start() {
        DeviceConfigurationState state = store.load(initial, morning);
        if (state.saveDue) {
            lastSave = store.save(state.configuration, state.appearance);
        }
        return state;
    }

    QTemporaryDir root;
    DeviceConfigurationStore store;
    std::optional<DeviceSaveResult> lastSave;
};

QByteArray sceneJson(const QUuid& id, const QString& keys, const QString& extra = {}) {
    return QStringLiteral(R"({"id":"%1","keys":[%2]%3})")
        .arg(ConfigurationJson::uuidText(id), keys, extra)
        .toUtf8();
}

QString bindingJson(int id, const char* name) {
    return QStringLiteral(R"({"id":%1,"name":"%2","action":"Mute","argument":"","keyCode":0,)"
                          R"("modifiers":0})")
        .arg(id)
        .arg(QString::fromUtf8(name));
}

}  // namespace

TEST(DeviceConfigurationStore, MissingFilesGiveDefaultsWithoutSaving) {
    Device device;
    const DeviceConfigurationState state = device.start();
    ASSERT_EQ(state.configuration.scenes.size(), 1);
    EXPECT_EQ(state.configuration.scenes[0].keys,
              DefaultConfiguration::bindings(DeviceKind::msdTwo));
    EXPECT_EQ(state.configuration.activeSceneID, state.configuration.scenes[0].id);
    EXPECT_EQ(state.appearance, initial);
    EXPECT_FALSE(state.saveDue);
    EXPECT_TRUE(device.store.configurationRecoveries().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(device.store.folderPath()));
    EXPECT_EQ(device.store.configURL(),
              device.root.filePath(deviceID + QStringLiteral("/bindings.json")));
    EXPECT_EQ(device.store.appearanceURL(),
              device.root.filePath(deviceID + QStringLiteral("/appearance.json")));
}

TEST(DeviceConfigurationStore, SavedConfigurationLoadsBackUnchanged) {
    Device device;
    const SavedConfiguration configuration = sampleConfiguration(3);
    const DeviceAppearance appearance{QStringLiteral("Desk / right"), 35, true};
    const DeviceSaveResult result = device.store.save(configuration, appearance);
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.message.isEmpty());
    EXPECT_EQ(folderEntries(device.store.folderPath()),
              (QStringList{QStringLiteral("appearance.json"), QStringLiteral("bindings.json")}));
    EXPECT_EQ(readBytes(device.file("appearance.json")),
              QByteArray(R"({"brightness":"35","deviceName":"Desk \/ right",)"
                         R"("followMacBrightness":"true"})"));

    DeviceConfigurationStore reopened(device.root.path(), deviceID, DeviceKind::msdTwo);
    const DeviceConfigurationState state = reopened.load(initial, morning);
    EXPECT_EQ(state.configuration, configuration);
    EXPECT_EQ(state.appearance, appearance);
    EXPECT_FALSE(state.saveDue);
}

TEST(DeviceConfigurationStore, SavingKeepsTheFilesModeAndLeavesNoTemporaryFiles) {
    Device device;
    const SavedConfiguration configuration = sampleConfiguration(1);
    ASSERT_TRUE(device.store.save(configuration, initial).ok());
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(device.file("bindings.json"), mode));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(device.store.save(configuration, initial).ok());
    }
    EXPECT_EQ(QFile::permissions(device.file("bindings.json")) & 0x7077, mode & 0x7077);
    EXPECT_EQ(folderEntries(device.store.folderPath()).size(), 2);
}

TEST(DeviceConfigurationStore, StoredScenesAreMergedWithTheKindsControls) {
    Device device(nullptr, DeviceKind::mountain);
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    device.put("bindings.json",
               QByteArray(R"({"scenes":[)") +
                   sceneJson(first, bindingJson(2, "Two") + "," + bindingJson(99, "Stray") + "," +
                                        bindingJson(1, "One") + "," + bindingJson(3, "Three")) +
                   "," + sceneJson(second, {}) + R"(],"activeSceneID":")" +
                   ConfigurationJson::uuidText(second).toUtf8() + "\"}");
    const DeviceConfigurationState state = device.start();
    ASSERT_EQ(state.configuration.scenes.size(), 2);
    const QList<Binding>& keys = state.configuration.scenes[0].keys;
    ASSERT_EQ(keys.size(), 12);
    EXPECT_EQ(keys[0].name, QStringLiteral("One"));
    EXPECT_EQ(keys[1].name, QStringLiteral("Two"));
    EXPECT_EQ(keys[2].name, QStringLiteral("Three"));
    EXPECT_EQ(keys[3], Binding(4, QStringLiteral("LCD key 4")));
    EXPECT_EQ(state.configuration.scenes[1].keys,
              DefaultConfiguration::bindings(DeviceKind::mountain));
    EXPECT_EQ(state.configuration.activeSceneID, second);
    EXPECT_FALSE(state.saveDue);
}

TEST(DeviceConfigurationStore, UnknownActiveSceneFallsBackToTheFirst) {
    Device device;
    const QUuid first = QUuid::createUuid();
    device.put("bindings.json", QByteArray(R"({"scenes":[)") + sceneJson(first, {}) + "," +
                                    sceneJson(QUuid::createUuid(), {}) + R"(],"activeSceneID":")" +
                                    ConfigurationJson::uuidText(QUuid::createUuid()).toUtf8() +
                                    "\"}");
    EXPECT_EQ(device.start().configuration.activeSceneID, first);
}

TEST(DeviceConfigurationStore, EmptySceneListGivesDefaultsAndIsNotRewritten) {
    Device device;
    const QByteArray content =
        R"({"scenes":[],"activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})";
    device.put("bindings.json", content);
    const DeviceConfigurationState state = device.start();
    ASSERT_EQ(state.configuration.scenes.size(), 1);
    EXPECT_NE(ConfigurationJson::uuidText(state.configuration.scenes[0].id),
              QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    EXPECT_FALSE(state.saveDue);
    EXPECT_TRUE(device.store.configurationRecoveries().isEmpty());
    EXPECT_EQ(readBytes(device.file("bindings.json")), content);
}

TEST(DeviceConfigurationStore, MalformedBindingsAreBackedUpDefaultedAndReplaced) {
    Device device;
    const QByteArray damaged =
        QByteArray(R"({"scenes":[)") + sceneJson(QUuid::createUuid(), {}) + "]}";
    device.put("bindings.json", damaged);
    const DeviceConfigurationState state = device.start();
    ASSERT_EQ(device.store.configurationRecoveries().size(), 1);
    const ConfigurationRecovery& recovery = device.store.configurationRecoveries()[0];
    EXPECT_EQ(recovery.originalURL, device.store.configURL());
    EXPECT_EQ(recovery.backupURL, device.file("bindings.malformed-20261205T061100Z.json"));
    EXPECT_TRUE(recovery.problem.contains(QStringLiteral("\"activeSceneID\"")));
    EXPECT_TRUE(state.saveDue);
    ASSERT_TRUE(device.lastSave);
    EXPECT_TRUE(device.lastSave->ok());
    EXPECT_TRUE(device.store.protectedURLs().isEmpty());
    EXPECT_EQ(readBytes(*recovery.backupURL), damaged);
    EXPECT_EQ(ConfigurationJson::decodeConfiguration(readBytes(device.store.configURL())),
              state.configuration);
}

TEST(DeviceConfigurationStore, MalformedAppearanceKeepsTheInitialValuesAndIsReplaced) {
    Device device;
    device.put("appearance.json", R"({"brightness":40,"deviceName":"Desk"})");
    const DeviceConfigurationState state = device.start();
    EXPECT_EQ(state.appearance, initial);
    ASSERT_EQ(device.store.configurationRecoveries().size(), 1);
    EXPECT_TRUE(device.store.configurationRecoveries()[0].problem.contains(
        QStringLiteral("\"brightness\" must be a string")));
    EXPECT_EQ(ConfigurationJson::decodeAppearance(readBytes(device.store.appearanceURL())),
              initial.toMap());
}

TEST(DeviceConfigurationStore, LegacyBackgroundMovesIntoTheFirstSceneAndIsSavedAtOnce) {
    Device device;
    device.put("appearance.json",
               R"({"brightness":"60","deviceName":"Desk","background":"\/pics\/sky.png"})");
    const DeviceConfigurationState state = device.start();
    EXPECT_TRUE(state.saveDue);
    EXPECT_EQ(state.configuration.scenes[0].backgroundPath, QStringLiteral("/pics/sky.png"));
    EXPECT_EQ(state.appearance, (DeviceAppearance{QStringLiteral("Desk"), 60, false}));
    EXPECT_FALSE(readBytes(device.store.appearanceURL()).contains("background"));

    DeviceConfigurationStore reopened(device.root.path(), deviceID, DeviceKind::msdTwo);
    const DeviceConfigurationState next = reopened.load(initial, morning);
    EXPECT_FALSE(next.saveDue);
    EXPECT_EQ(next.configuration.scenes[0].backgroundPath, QStringLiteral("/pics/sky.png"));
}

TEST(DeviceConfigurationStore, LegacyBackgroundNeverReplacesASceneBackground) {
    Device device;
    const QUuid id = QUuid::createUuid();
    device.put("bindings.json",
               QByteArray(R"({"scenes":[)") +
                   sceneJson(id, {}, QStringLiteral(R"(,"backgroundPath":"own.png")")) +
                   R"(],"activeSceneID":")" + ConfigurationJson::uuidText(id).toUtf8() + "\"}");
    device.put("appearance.json", R"({"background":"old.png"})");
    const DeviceConfigurationState state = device.start();
    EXPECT_EQ(state.configuration.scenes[0].backgroundPath, QStringLiteral("own.png"));
    EXPECT_FALSE(state.saveDue);
}

TEST(DeviceConfigurationStore, UnreadableFileInAReadOnlyFolderIsNeverRewritten) {
    // A read-only folder stops the backup copy. Where permissions do not bind (root), the copy
    // fails through the file system instead, exactly as the folder would make it fail.
    auto files = std::make_shared<FailingFileSystem>();
    Device device(files);
    const QByteArray damaged = "{\"scenes\": oops";
    device.put("bindings.json", damaged);
    device.put("appearance.json", R"({"deviceName":"Desk"})");
    const bool byPermissions = permissionsAreEnforced();
    if (byPermissions) {
        ASSERT_TRUE(QFile::setPermissions(device.store.folderPath(),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else {
        files->failCopiesFrom.insert(device.store.configURL());
    }
    const DeviceConfigurationState state = device.start();
    ASSERT_EQ(device.store.configurationRecoveries().size(), 1);
    EXPECT_FALSE(device.store.configurationRecoveries()[0].backupURL);
    EXPECT_TRUE(device.store.configurationRecoveries()[0].backupProblem);
    EXPECT_EQ(device.store.protectedURLs(), QSet<QString>{device.store.configURL()});
    EXPECT_EQ(state.appearance.deviceName, QStringLiteral("Desk"));

    if (byPermissions) {
        // The folder stays read-only: the appearance file cannot be written either.
        ASSERT_TRUE(device.lastSave);
        EXPECT_EQ(device.lastSave->status, DeviceSaveResult::Status::failed);
        QFile::setPermissions(device.store.folderPath(), QFileDevice::ReadOwner |
                                                             QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner);
    }
    for (int save = 0; save < 3; ++save) {
        const DeviceSaveResult result = device.store.save(
            state.configuration, DeviceAppearance{QStringLiteral("Renamed"), 20, true});
        EXPECT_EQ(result.status, DeviceSaveResult::Status::suspended);
        EXPECT_EQ(result.message,
                  QStringLiteral("Changes aren't being saved: fix or move the unreadable "
                                 "configuration file, then restart Quorvel Zodovuvur"));
    }
    EXPECT_EQ(readBytes(device.store.configURL()), damaged);
    EXPECT_EQ(ConfigurationJson::decodeAppearance(readBytes(device.store.appearanceURL()))
                  .value(QStringLiteral("deviceName")),
              QStringLiteral("Renamed"));
    EXPECT_EQ(folderEntries(device.store.folderPath()),
              (QStringList{QStringLiteral("appearance.json"), QStringLiteral("bindings.json")}));
}

TEST(DeviceConfigurationStore, FolderThatCannotBeCreatedFailsTheSave) {
    Device device;
    writeBytes(device.store.folderPath(), "a file where the device folder belongs");
    const DeviceSaveResult result =
        device.store.save(DefaultConfiguration::configuration(DeviceKind::msdTwo), initial);
    EXPECT_EQ(result.status, DeviceSaveResult::Status::failed);
    EXPECT_TRUE(result.message.startsWith(QStringLiteral("Could not save: The folder “")));
    EXPECT_EQ(readBytes(device.store.folderPath()),
              QByteArray("a file where the device folder belongs"));
}

TEST(DeviceConfigurationStore, WriteFailureFailsTheSaveWithItsReason) {
    auto files = std::make_shared<FailingFileSystem>();
    Device device(files);
    files->failWritesTo.insert(device.store.configURL());
    const DeviceSaveResult result =
        device.store.save(DefaultConfiguration::configuration(DeviceKind::msdTwo), initial);
    EXPECT_EQ(result.status, DeviceSaveResult::Status::failed);
    EXPECT_EQ(result.message, QStringLiteral("Could not save: No space left on device"));
    // The save stops at the first failure: the appearance file is not written after it.
    EXPECT_FALSE(QFileInfo::exists(device.store.appearanceURL()));
}

TEST(DeviceConfigurationStore, FolderInPlaceOfAFileIsProtectedAndNeverReplaced) {
    Device device;
    ASSERT_TRUE(QDir().mkpath(device.store.appearanceURL()));
    writeBytes(device.store.appearanceURL() + QStringLiteral("/note.txt"), "mine");
    const DeviceConfigurationState state = device.start();
    EXPECT_EQ(device.store.protectedURLs(), QSet<QString>{device.store.appearanceURL()});
    ASSERT_TRUE(device.lastSave);
    EXPECT_EQ(device.lastSave->status, DeviceSaveResult::Status::suspended);
    EXPECT_TRUE(QFileInfo::exists(device.store.configURL()));
    EXPECT_EQ(readBytes(device.store.appearanceURL() + QStringLiteral("/note.txt")),
              QByteArray("mine"));
    EXPECT_EQ(state.appearance, initial);
}

TEST(DeviceConfigurationStore, SavingAppearanceAloneSkipsAProtectedFile) {
    auto files = std::make_shared<FailingFileSystem>();
    Device device(files);
    device.put("appearance.json", "garbage");
    files->failCopiesFrom.insert(device.store.appearanceURL());
    device.start();
    EXPECT_NO_THROW(device.store.saveAppearance(DeviceAppearance{QStringLiteral("x"), 1, true}));
    EXPECT_EQ(readBytes(device.store.appearanceURL()), QByteArray("garbage"));

    Device other;
    EXPECT_NO_THROW(other.store.saveAppearance(DeviceAppearance{QStringLiteral("x"), 1, true}));
    EXPECT_EQ(readBytes(other.store.appearanceURL()),
              QByteArray(R"({"brightness":"1","deviceName":"x","followMacBrightness":"true"})"));
}
