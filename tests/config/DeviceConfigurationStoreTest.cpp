#include "config/DeviceConfigurationStore.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTimeZone>

namespace {

const QString deviceID = "msdTwo-706f72742d3030303030303261";
const DeviceAppearance initial{"MSD-TWO", 80, false};
const QDateTime morning(QDate(2026, 12, 5), QTime(6, 11, 0), QTimeZone::utc());

// A settings root with one device folder, and what a model's start-up does with it.
struct Device {
    explicit Device(std::shared_ptr<const ConfigurationFileSystem> files = nullptr,
                    DeviceKind kind = DeviceKind::msdTwo)
        : store(root.path(), deviceID, kind, std::move(files)) {}

    QString file(const char* name) const { return root.file(deviceID, name); }
    void put(const char* name, const QByteArray& bytes) const { root.put(deviceID, name, bytes); }
    // Loads, and saves at once when a save is due, as the model's constructor does.
    DeviceConfigurationState start() {
        DeviceConfigurationState state = store.load(initial, morning);
        if (state.saveDue) {
            lastSave = store.save(state.configuration, state.appearance);
        }
        return state;
    }

    SettingsRoot root;
    DeviceConfigurationStore store;
    std::optional<DeviceSaveResult> lastSave;
};

QByteArray scenesJson(const QList<QByteArray>& scenes, const QUuid& active) {
    return R"({"scenes":[)" + scenes.join(',') + R"(],"activeSceneID":")" +
           ConfigurationJson::uuidText(active).toUtf8() + "\"}";
}

// A scene whose keys are "id:name" bindings to Mute.
QByteArray sceneJson(const QUuid& id, const QStringList& names = {}, const char* extra = "") {
    QStringList keys;
    for (const QString& name : names) {
        keys << QString(R"({"id":%1,"name":"%2","action":"Mute","argument":"","keyCode":0,)"
                        R"("modifiers":0})")
                    .arg(name.section(':', 0, 0), name.section(':', 1));
    }
    return QString(R"({"id":"%1","keys":[%2]%3})")
        .arg(ConfigurationJson::uuidText(id), keys.join(','), extra)
        .toUtf8();
}

}  // namespace

// Stored bindings are merged into the kind's controls; an unknown active scene is the first one;
// an empty scene list gives the defaults and is not rewritten.
TEST(DeviceConfigurationStore, StoredScenesMergeWithTheKindsControlsAndALegacyBackgroundMovesIn) {
    Device device(nullptr, DeviceKind::mountain);
    const QUuid first = QUuid::createUuid(), second = QUuid::createUuid();
    device.put(
        "bindings.json",
        scenesJson({sceneJson(first, {"2:Two", "99:Stray", "1:One", "1:Again"}), sceneJson(second)},
                   QUuid::createUuid()));
    DeviceConfigurationState state = device.start();
    ASSERT_EQ(state.configuration.scenes.size(), 2);
    QList<Binding> expected = DefaultConfiguration::bindings(DeviceKind::mountain);
    EXPECT_EQ(state.configuration.scenes[1].keys, expected);
    for (const auto& [index, name] : {std::pair(0, "One"), {1, "Two"}}) {
        expected[index].name = name;
        expected[index].action = "Mute";
    }
    EXPECT_EQ(state.configuration.scenes[0].keys, expected);
    EXPECT_EQ(std::tuple(state.configuration.activeSceneID, state.saveDue),
              std::tuple(first, false));

    Device empty;
    const QByteArray content = scenesJson({}, first);
    empty.put("bindings.json", content);
    state = empty.start();
    ASSERT_EQ(state.configuration.scenes.size(), 1);
    EXPECT_EQ(state.configuration.activeSceneID, state.configuration.scenes[0].id);
    EXPECT_FALSE(state.saveDue || !empty.store.configurationRecoveries().isEmpty());
    EXPECT_EQ(readFile(empty.file("bindings.json")), content);
    // A legacy background moves into a bare first scene once and is saved at once.
    Device legacy;
    legacy.put("appearance.json",
               R"({"brightness":"60","deviceName":"Desk","background":"\/sky.png"})");
    const DeviceConfigurationState moved = legacy.start();
    EXPECT_EQ(
        std::tuple(moved.saveDue, moved.configuration.scenes[0].backgroundPath, moved.appearance),
        std::tuple(true, QString("/sky.png"), DeviceAppearance{"Desk", 60, false}));
    EXPECT_FALSE(readFile(legacy.store.appearanceURL()).contains("background"));
    const DeviceConfigurationState next =
        DeviceConfigurationStore(legacy.root.path(), deviceID, DeviceKind::msdTwo)
            .load(initial, morning);
    EXPECT_EQ(std::tuple(next.saveDue, next.configuration.scenes[0].backgroundPath),
              std::tuple(false, QString("/sky.png")));

    Device own;  // never over a scene's own background
    const QUuid id = QUuid::createUuid();
    own.put("bindings.json", scenesJson({sceneJson(id, {}, R"(,"backgroundPath":"own.png")")}, id));
    own.put("appearance.json", R"({"background":"old.png"})");
    EXPECT_EQ(own.start().configuration.scenes[0].backgroundPath, "own.png");
    EXPECT_FALSE(own.lastSave);
}

// A folder in place of a file is protected and never replaced; a save stops at the first failure
// with its reason (a full disk is the model's to check).
TEST(DeviceConfigurationStore, SaveSkipsProtectedFilesStopsAtTheFirstFailureAndKeepsTheMode) {
    Device device;
    writeBytes(device.store.appearanceURL() + "/note.txt", "mine");
    const DeviceConfigurationState state = device.start();
    EXPECT_EQ(device.store.protectedURLs(), QSet<QString>{device.store.appearanceURL()});
    ASSERT_TRUE(device.lastSave);
    EXPECT_EQ(std::tuple(device.lastSave->status, device.lastSave->message, state.appearance),
              std::tuple(DeviceSaveResult::Status::suspended,
                         DeviceConfigurationStore::suspendedMessage(), initial));
    EXPECT_TRUE(QFileInfo::exists(device.store.configURL()));
    EXPECT_NO_THROW(device.store.saveAppearance(DeviceAppearance{"x", 1, true}));
    EXPECT_EQ(readFile(device.store.appearanceURL() + "/note.txt"), "mine");

    Device blocked;
    writeBytes(blocked.store.folderPath(), "a file where the device folder belongs");
    const DeviceSaveResult result = blocked.store.save(sampleConfiguration(1), initial);
    EXPECT_EQ(std::tuple(result.status, result.message.startsWith("Could not save: The folder “")),
              std::tuple(DeviceSaveResult::Status::failed, true));
    EXPECT_EQ(readFile(blocked.store.folderPath()), "a file where the device folder belongs");
    // Saves keep the file's mode; round trips and leftovers are the killed writer's to check.
    Device kept;
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    for (int save = 0; save < 3; ++save) {
        EXPECT_TRUE(kept.store.save(sampleConfiguration(1), initial).ok());
        QFile::setPermissions(kept.file("bindings.json"), mode);
    }
    EXPECT_EQ(QFile::permissions(kept.file("bindings.json")) & 0x7077, mode & 0x7077);
}
