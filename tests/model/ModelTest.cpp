#include "config/DefaultConfiguration.h"

#include "ModelTestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString msd = "msdTwo-706f72742d3030303030303261", pad = "mountain-73657269616c2d41";

QList<QUuid> idsOf(const QList<QuorvelScene>& scenes) {
    QList<QUuid> ids;
    for (const QuorvelScene& scene : scenes) {
        ids << scene.id;
    }
    return ids;
}

// `count` stored MSD-TWO scenes, the one at `active` active.
SavedConfiguration stored(int count, int active) {
    SavedConfiguration configuration = scenesOf(count, DeviceKind::msdTwo);
    configuration.activeSceneID = configuration.scenes[active].id;
    return configuration;
}

}  // namespace

// Stored scenes loading in order is the settings store's and the restart test's business.
TEST(Model, NewDeviceStartsWithOneDefaultSceneAndWritesNothing) {
    SettingsRoot root;
    Model model(msd, DeviceKind::msdTwo, "MSD-TWO · USB 0000002A", root.path());
    ASSERT_EQ(model.scenes().size(), 1);
    EXPECT_EQ(model.scenes()[0].keys, DefaultConfiguration::bindings(DeviceKind::msdTwo));
    EXPECT_EQ(model.activeSceneID(), model.scenes()[0].id);
    EXPECT_EQ(model.message(), "Waiting for device");
    EXPECT_EQ(model.deviceName(), "MSD-TWO · USB 0000002A");
    EXPECT_EQ(model.displayBrightness(), 80);
    EXPECT_FALSE(model.padFollowMac() || model.connected() || model.recording());
    EXPECT_EQ(model.configURL(), root.file(msd, "bindings.json"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(model.configURL()).path()));
}

TEST(Model, FileThatCannotBeSetAsideIsNeverOverwrittenWhileTheRestIsSaved) {
    SettingsRoot root;
    auto files = std::make_shared<FailingFileSystem>();
    files->failCopiesFrom.insert(root.file(msd, "bindings.json"));
    const QByteArray unreadable = "{\"scenes\": [";
    root.put(msd, "bindings.json", unreadable);
    const QString suspended =
        "Changes aren't being saved: fix or move the unreadable configuration file, then restart "
        "Quorvel Zodovuvur";
    LogCapture log;
    Model model(msd, DeviceKind::msdTwo, "MSD-TWO", root.path(), files);
    EXPECT_EQ(model.protectedURLs(), QSet<QString>{model.configURL()});
    EXPECT_EQ(model.message(), suspended);
    EXPECT_TRUE(log.lines().value(0).contains("nor copy it aside")) << log.lines().join('\n');
    EXPECT_TRUE(root.read(msd, "appearance.json").contains("\"deviceName\":\"MSD-TWO\""));
    SignalLog signals(model);
    EXPECT_EQ(actionErrorOf([&] { model.renameDevice("Studio"); }), suspended);
    EXPECT_TRUE(root.read(msd, "appearance.json").contains("\"deviceName\":\"Studio\""));
    EXPECT_EQ(signals.count("refresh"), 1);
    model.addScene();
    EXPECT_EQ(model.scenes().size(), 2);
    EXPECT_EQ(root.read(msd, "bindings.json"), unreadable);
}

TEST(Model, FilesChangedOnDiskAreLoadedInsteadOfOverwritten) {
    SettingsRoot root;
    LogCapture log;
    Model model(pad, DeviceKind::mountain, "Desk", root.path());
    ASSERT_TRUE(model.save());
    // Seen by watching the files.
    const SavedConfiguration edited = scenesOf(3, DeviceKind::mountain);
    root.putScenes(pad, edited);
    ASSERT_TRUE(waitUntil([&] { return model.scenes() == edited.scenes; }));
    root.put(pad, "appearance.json", R"({"brightness":"40","deviceName":"Edited"})");
    ASSERT_TRUE(waitUntil([&] { return model.deviceName() == "Edited"; }));
    EXPECT_EQ(model.displayBrightness(), 40);
    // Written just before a save, before any watcher could tell: the save loads it instead.
    const SavedConfiguration raced = scenesOf(2, DeviceKind::mountain);
    root.putScenes(pad, raced);
    EXPECT_TRUE(model.save());
    EXPECT_EQ(idsOf(model.scenes()), idsOf(raced.scenes));
    EXPECT_EQ(idsOf(root.readScenes(pad).scenes), idsOf(raced.scenes));
    // An unreadable edit is set aside, and the configuration in use stays.
    root.put(pad, "bindings.json", "{broken");
    ASSERT_TRUE(waitUntil([&] { return model.configurationRecoveries().size() == 1; }));
    const ConfigurationRecovery recovery = model.configurationRecoveries().first();
    ASSERT_TRUE(recovery.backupURL);
    EXPECT_EQ(readFile(*recovery.backupURL), "{broken");
    EXPECT_EQ(idsOf(model.scenes()), idsOf(raced.scenes));
    EXPECT_TRUE(log.contains(QString("Edited: could not read %1 (%2); it was copied to %3")
                                 .arg(model.configURL(), recovery.problem, *recovery.backupURL)))
        << log.lines().join('\n');
    EXPECT_TRUE(model.save());
    EXPECT_EQ(idsOf(root.readScenes(pad).scenes), idsOf(raced.scenes));
}

TEST(Model, StatusLinesSetAsideFilesAndUnknownActionsGoToTheLog) {
    SettingsRoot root;
    SavedConfiguration configuration = scenesOf(2, DeviceKind::mountain);
    configuration.scenes[1].keys[2].action = "Shell Script";
    root.putScenes(pad, configuration);
    root.put(pad, "appearance.json", R"({"deviceName":7})");
    LogCapture log;
    Model model(pad, DeviceKind::mountain, "Desk", root.path());
    model.report("Could not save: disk full");
    model.report(QString());
    ASSERT_EQ(model.configurationRecoveries().size(), 1);
    const ConfigurationRecovery& recovery = model.configurationRecoveries().first();
    EXPECT_EQ(log.lines(),
              (QStringList{QString("Desk: could not read %1 (%2); it was copied to %3")
                               .arg(recovery.originalURL, recovery.problem,
                                    recovery.backupURL.value_or(QString())),
                           QString("Desk: %1: binding 3 of scene 2 has the unknown action "
                                   "\"Shell Script\" and does nothing")
                               .arg(model.configURL()),
                           "Desk: Could not save: disk full"}));
}

TEST(Model, SavedStateIsWhatTheNextStartFindsWithTheNameTrimmedAndNeverBlank) {
    SettingsRoot root;
    {
        Model model(pad, DeviceKind::mountain, "Mountain DisplayPad", root.path());
        model.addScene();
        model.renameDevice(" \t Desk  \n");
        SignalLog log(model);
        EXPECT_EQ(actionErrorOf([&] { model.renameDevice("  \n\t "); }),
                  "A device name cannot be empty");
        EXPECT_TRUE(log.names.isEmpty());
    }
    EXPECT_EQ(root.read(pad, "appearance.json"),
              R"({"brightness":"80","deviceName":"Desk","followMacBrightness":"false"})");
    Model model(pad, DeviceKind::mountain, "Mountain DisplayPad", root.path());
    EXPECT_EQ(model.scenes(), root.readScenes(pad).scenes);
    EXPECT_EQ(model.activeSceneIndex(), 1);
    EXPECT_EQ(model.deviceName(), "Desk");
}

// Buttons are named before site icons are scheduled, and the refresh comes after the write.
TEST(Model, ObserversHearEachFieldThatReallyChangedInOrder) {
    TestModel model(pad, DeviceKind::mountain);
    QStringList seen;
    QObject::connect(model.model.get(), &Model::siteIconScheduleRequested, [&] {
        seen << QString("icons named=%1 written=%2")
                    .arg(model->scenes()[0].keys[0].scriptName.value_or(""))
                    .arg(QFileInfo::exists(model->configURL()));
    });
    QObject::connect(model.model.get(), &Model::displayRefreshRequested, [&] {
        seen << QString("refresh written=%1").arg(model.root.readScenes(pad).scenes.size());
    });
    model->addScene();
    EXPECT_EQ(seen, QStringList({"icons named=Scene1Button1 written=0", "refresh written=2"}));
    // The second scenes change is the new buttons getting their names.
    EXPECT_EQ(model.log->names, QStringList({"scenes", "changed", "activeSceneID", "changed",
                                             "scenes", "changed", "siteIcons", "refresh"}));
    model.log->names.clear();
    for (int twice = 0; twice < 2; ++twice) {
        model->report("LCD key 3 → Volume up");
        model->setRecording(3);
    }
    model->renameDevice("Pad");
    EXPECT_EQ(model.log->names,
              QStringList({"message", "changed", "recording", "changed", "siteIcons", "refresh"}));
    EXPECT_EQ(model->message(), "LCD key 3 → Volume up");
    EXPECT_EQ(model->recording(), 3);
}

TEST(Model, FailedWriteReportsCouldNotSaveKeepsTheChangeAndRefreshesNothing) {
    auto files = std::make_shared<FailingFileSystem>();
    TestModel model(pad, DeviceKind::mountain, {}, files);
    files->failWritesTo.insert(model->configURL());
    model->addScene();
    EXPECT_EQ(model->message(), "Could not save: No space left on device");
    EXPECT_EQ(model->scenes().size(), 2);
    EXPECT_EQ(model.log->count("refresh"), 0);
    EXPECT_EQ(model.log->count("siteIcons"), 1);
    EXPECT_FALSE(QFileInfo::exists(model->appearanceURL()));
    files->failWritesTo = {model->appearanceURL()};
    EXPECT_EQ(actionErrorOf([&] { model->renameDevice("Studio"); }),
              "Could not save: No space left on device");
    EXPECT_EQ(model->deviceName(), "Studio");
    EXPECT_EQ(model.root.readScenes(pad).scenes.size(), 2);
    files->failWritesTo.clear();
    EXPECT_TRUE(model->save());
    EXPECT_EQ(model.log->count("refresh"), 1);
}

TEST(Model, SelectAddAndChangeSceneSaveTheSceneTheyActivateWrappingAtBothEnds) {
    const SavedConfiguration four = stored(4, 0);
    TestModel model(msd, DeviceKind::msdTwo, four), single(msd, DeviceKind::msdTwo, stored(1, 0));
    model->selectScene(QUuid::createUuid());
    model->selectScene(four.scenes[0].id);
    EXPECT_EQ(model.log->count("refresh"), 0);
    model->report("Volume failed");
    for (const auto& [steps, index] : {std::pair(-1, 3), {1, 0}, {-9, 3}, {6, 1}}) {
        model->changeScene(steps);
        EXPECT_EQ(model->activeSceneID(), four.scenes[index].id) << steps;
    }
    EXPECT_EQ(model->message(), "");
    EXPECT_EQ(model.log->count("refresh"), 4);
    model->selectScene(four.scenes[2].id);
    EXPECT_EQ(model.root.readScenes(msd).activeSceneID, four.scenes[2].id);
    model->addScene();
    ASSERT_EQ(model->scenes().size(), 5);
    const QuorvelScene& added = model->scenes()[4];
    EXPECT_EQ(model->activeSceneID(), added.id);
    EXPECT_FALSE(added.backgroundPath);
    EXPECT_EQ(added.keys.size(), 18);
    for (const Binding& binding : added.keys) {
        EXPECT_EQ(binding.action, "None");
    }
    EXPECT_EQ(model.root.readScenes(msd).activeSceneID, added.id);
    single->report("Volume failed");
    single->changeScene(1);
    EXPECT_EQ(single->message(), "Volume failed");
    EXPECT_EQ(single.log->count("refresh"), 0);
}

TEST(Model, DeleteActiveSceneActivatesTheSceneThatTakesItsPlace) {
    const SavedConfiguration three = stored(3, 2);
    TestModel last(msd, DeviceKind::msdTwo, three), single(msd, DeviceKind::msdTwo, stored(1, 0));
    SavedConfiguration firstActive = three;
    firstActive.activeSceneID = three.scenes[0].id;
    TestModel first(msd, DeviceKind::msdTwo, firstActive);
    last->deleteActiveScene();
    EXPECT_EQ(last->activeSceneID(), three.scenes[1].id);
    EXPECT_EQ(last.root.readScenes(msd).scenes.size(), 2);
    first->deleteActiveScene();
    EXPECT_EQ(idsOf(first->scenes()), (QList{three.scenes[1].id, three.scenes[2].id}));
    EXPECT_EQ(first->activeSceneID(), three.scenes[1].id);
    EXPECT_EQ(first.log->names.indexOf("activeSceneID"), 0);
    single->deleteActiveScene();
    EXPECT_EQ(single->scenes().size(), 1);
    EXPECT_TRUE(single.log->names.isEmpty());
}

TEST(Model, DuplicateDropsIdentifiersAndAutomaticNamesButKeepsChosenNames) {
    SavedConfiguration configuration = stored(3, 1);
    QList<Binding>& keys = configuration.scenes[1].keys;
    keys[3].scriptName = "Scene2Button4";
    keys[4].scriptName = "Scene1Button5";
    keys[6].scriptID = "dial-id";
    TestModel model(msd, DeviceKind::msdTwo, configuration);
    ASSERT_TRUE(model->save());
    const QList<QuorvelScene> before = model->scenes();
    model->duplicateActiveScene();
    ASSERT_EQ(model->scenes().size(), 4);
    const QuorvelScene &original = model->scenes()[1], &copy = model->scenes()[2];
    EXPECT_EQ(original, before[1]);
    EXPECT_EQ(model->scenes()[3], before[2]);
    EXPECT_EQ(model->activeSceneID(), copy.id);
    EXPECT_NE(copy.id, original.id);
    // Automatic names of the original are dropped, so save names those keys for their new place.
    EXPECT_EQ(QList({copy.keys[0].scriptName, copy.keys[3].scriptName, copy.keys[4].scriptName}),
              QList<std::optional<QString>>({"Scene3Button1", "Scene3Button4", "Scene1Button5"}));
    for (qsizetype index = 0; index < 6; ++index) {
        EXPECT_NE(copy.keys[index].scriptID, original.keys[index].scriptID);
    }
    // Dials are no screen buttons: their ids are dropped from the copy and nothing names them.
    EXPECT_FALSE(copy.keys[6].scriptID || copy.keys[6].scriptName);
    EXPECT_EQ(original.keys[6].scriptID, "dial-id");
    EXPECT_EQ(model.root.readScenes(msd).scenes, model->scenes());
}
