#include "model/Model.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QString pad = QStringLiteral("msdTwo-706f72742d3030303030303261");

QByteArray appearance(const char* brightness, const char* follow, const char* extra = "") {
    return QStringLiteral(R"({"brightness":"%1","followMacBrightness":"%2","deviceName":"Desk"%3})")
        .arg(QLatin1String(brightness), QLatin1String(follow), QLatin1String(extra))
        .toUtf8();
}

}  // namespace

TEST(Model, NewDeviceStartsWithOneDefaultSceneAndWritesNothing) {
    SettingsRoot root;
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO · USB 0000002A"), root.path());
    ASSERT_EQ(model.scenes().size(), 1);
    EXPECT_EQ(model.scenes()[0].keys, DefaultConfiguration::bindings(DeviceKind::msdTwo));
    EXPECT_FALSE(model.scenes()[0].backgroundPath);
    EXPECT_EQ(model.activeSceneID(), model.scenes()[0].id);
    EXPECT_EQ(model.message(), QStringLiteral("Waiting for device"));
    EXPECT_EQ(model.deviceName(), QStringLiteral("MSD-TWO · USB 0000002A"));
    EXPECT_EQ(model.displayBrightness(), 80);
    EXPECT_FALSE(model.padFollowMac());
    EXPECT_FALSE(model.connected());
    EXPECT_FALSE(model.recording());
    EXPECT_EQ(model.configURL(), root.file(pad, "bindings.json"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(model.configURL()).path()));
}

TEST(Model, StoredScenesLoadInOrderFilledUpAndWithAnExistingActiveScene) {
    SettingsRoot root;
    SavedConfiguration stored = scenesOf(3, DeviceKind::msdTwo);
    stored.scenes[1].keys = {Binding(2, QStringLiteral("Mute it"), QStringLiteral("Mute"))};
    stored.activeSceneID = stored.scenes[1].id;
    root.putScenes(pad, stored);
    {
        Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
        ASSERT_EQ(model.scenes().size(), 3);
        EXPECT_EQ(model.scenes()[2].id, stored.scenes[2].id);
        EXPECT_EQ(model.activeSceneIndex(), 1);
        EXPECT_EQ(model.scenes()[1].keys.size(),
                  DefaultConfiguration::bindings(DeviceKind::msdTwo).size());
        EXPECT_EQ(model.scenes()[1].keys[1].action, QStringLiteral("Mute"));
    }
    stored.activeSceneID = QUuid::createUuid();
    root.putScenes(pad, stored);
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    EXPECT_EQ(model.activeSceneID(), stored.scenes[0].id);
    EXPECT_EQ(model.activeSceneIndex(), 0);
}

TEST(Model, EmptySceneListStartsWithOneDefaultSceneAndIsNotRewritten) {
    SettingsRoot root;
    const QByteArray bytes =
        R"({"scenes":[],"activeSceneID":"3F2504E0-4F89-11D3-9A0C-0305E82C3301"})";
    root.put(pad, "bindings.json", bytes);
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    ASSERT_EQ(model.scenes().size(), 1);
    EXPECT_EQ(model.activeSceneID(), model.scenes()[0].id);
    EXPECT_FALSE(model.scenes()[0].id.isNull());
    EXPECT_EQ(root.read(pad, "bindings.json"), bytes);
}

TEST(Model, AppearanceValuesAreClampedAndReadStrictly) {
    struct Case {
        const char* brightness;
        const char* follow;
        int expectedBrightness;
        bool expectedFollow;
    };
    for (const Case& c : {Case{"250", "true", 100, true}, Case{"-3", "TRUE", 0, false},
                          Case{"bright", "true", 80, true}, Case{"41", "yes", 41, false}}) {
        SettingsRoot root;
        root.put(pad, "appearance.json", appearance(c.brightness, c.follow));
        const QByteArray before = root.read(pad, "appearance.json");
        Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
        EXPECT_EQ(model.displayBrightness(), c.expectedBrightness) << c.brightness;
        EXPECT_EQ(model.padFollowMac(), c.expectedFollow) << c.follow;
        EXPECT_EQ(model.deviceName(), QStringLiteral("Desk"));
        EXPECT_EQ(root.read(pad, "appearance.json"), before);
    }
}

TEST(Model, LegacyBackgroundMovesIntoABareFirstSceneOnce) {
    SettingsRoot root;
    root.putScenes(pad, scenesOf(2, DeviceKind::msdTwo));
    root.put(pad, "appearance.json", appearance("60", "false", R"(,"background":"/pics/sea.png")"));
    {
        Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
        EXPECT_EQ(model.scenes()[0].backgroundPath, QStringLiteral("/pics/sea.png"));
        EXPECT_FALSE(model.scenes()[1].backgroundPath);
    }
    EXPECT_FALSE(root.read(pad, "appearance.json").contains("background"));
    EXPECT_EQ(root.readScenes(pad).scenes[0].backgroundPath, QStringLiteral("/pics/sea.png"));
    const QByteArray written = root.read(pad, "bindings.json");
    Model again(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    EXPECT_EQ(again.displayBrightness(), 60);
    EXPECT_EQ(root.read(pad, "bindings.json"), written);
}

TEST(Model, LegacyBackgroundNeverReplacesTheSceneOwnBackground) {
    SettingsRoot root;
    SavedConfiguration stored = scenesOf(1, DeviceKind::msdTwo);
    stored.scenes[0].backgroundPath = QStringLiteral("/pics/own.png");
    root.putScenes(pad, stored);
    root.put(pad, "appearance.json", appearance("60", "false", R"(,"background":"/pics/sea.png")"));
    const QByteArray before = root.read(pad, "bindings.json");
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    EXPECT_EQ(model.scenes()[0].backgroundPath, QStringLiteral("/pics/own.png"));
    EXPECT_EQ(root.read(pad, "bindings.json"), before);
}

TEST(Model, UnreadableFileIsSetAsideAndReplacedByDefaultsAtOnce) {
    SettingsRoot root;
    root.put(pad, "bindings.json", "{\"scenes\": [");
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    ASSERT_EQ(model.configurationRecoveries().size(), 1);
    const ConfigurationRecovery& recovery = model.configurationRecoveries()[0];
    ASSERT_TRUE(recovery.backupURL);
    EXPECT_EQ(QFileInfo(*recovery.backupURL).path(), QFileInfo(model.configURL()).path());
    EXPECT_TRUE(model.protectedURLs().isEmpty());
    const SavedConfiguration written = root.readScenes(pad);
    ASSERT_EQ(written.scenes.size(), 1);
    EXPECT_EQ(written.scenes[0].id, model.scenes()[0].id);
    EXPECT_EQ(model.message(), QStringLiteral("Waiting for device"));
}

TEST(Model, FileThatCannotBeSetAsideIsNeverOverwrittenWhileTheRestIsSaved) {
    SettingsRoot root;
    auto files = std::make_shared<FailingFileSystem>();
    files->failCopiesFrom.insert(root.file(pad, "bindings.json"));
    const QByteArray unreadable = "{\"scenes\": [";
    root.put(pad, "bindings.json", unreadable);
    const QString suspended = QStringLiteral(
        "Changes aren't being saved: fix or move the unreadable configuration file, then restart "
        "Quorvel Zodovuvur");

    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path(), files);
    EXPECT_EQ(model.protectedURLs(), QSet<QString>{model.configURL()});
    EXPECT_EQ(model.message(), suspended);
    EXPECT_TRUE(root.read(pad, "appearance.json").contains("\"deviceName\":\"MSD-TWO\""));

    SignalLog log(model);
    try {
        model.renameDevice(QStringLiteral("Studio"));
        ADD_FAILURE() << "renaming reported success";
    } catch (const ActionError& error) {
        EXPECT_EQ(error.message(), suspended);
    }
    EXPECT_EQ(model.deviceName(), QStringLiteral("Studio"));
    EXPECT_TRUE(root.read(pad, "appearance.json").contains("\"deviceName\":\"Studio\""));
    EXPECT_EQ(log.count("refresh"), 1);
    model.addScene();
    EXPECT_EQ(model.scenes().size(), 2);
    EXPECT_EQ(root.read(pad, "bindings.json"), unreadable);
}
