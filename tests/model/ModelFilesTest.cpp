#include "model/Model.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString pad = "mountain-73657269616c2d46";

QList<QUuid> idsOf(const QList<QuorvelScene>& scenes) {
    QList<QUuid> ids;
    std::transform(scenes.cbegin(), scenes.cend(), std::back_inserter(ids),
                   [](const QuorvelScene& scene) { return scene.id; });
    return ids;
}

}  // namespace

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
        << log.lines().join('\n').toStdString();
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
                           QStringLiteral("Desk: %1: binding 3 of scene 2 has the unknown action "
                                          "\"Shell Script\" and does nothing")
                               .arg(model.configURL()),
                           "Desk: Could not save: disk full"}));
}
