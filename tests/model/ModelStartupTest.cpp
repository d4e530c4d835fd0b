#include "model/Model.h"

#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString pad = "msdTwo-706f72742d3030303030303261";

}  // namespace

TEST(Model, NewDeviceStartsWithOneDefaultSceneAndWritesNothingStoredScenesLoadInOrder) {
    SettingsRoot root;
    {
        Model model(pad, DeviceKind::msdTwo, "MSD-TWO · USB 0000002A", root.path());
        ASSERT_EQ(model.scenes().size(), 1);
        EXPECT_EQ(model.scenes()[0].keys, DefaultConfiguration::bindings(DeviceKind::msdTwo));
        EXPECT_EQ(model.activeSceneID(), model.scenes()[0].id);
        EXPECT_EQ(model.message(), "Waiting for device");
        EXPECT_EQ(model.deviceName(), "MSD-TWO · USB 0000002A");
        EXPECT_EQ(model.displayBrightness(), 80);
        EXPECT_FALSE(model.padFollowMac() || model.connected() || model.recording());
        EXPECT_EQ(model.configURL(), root.file(pad, "bindings.json"));
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(model.configURL()).path()));
    }
    SavedConfiguration stored = scenesOf(3, DeviceKind::msdTwo);
    stored.scenes[1].keys = {Binding(2, "Mute it", "Mute")};
    stored.activeSceneID = stored.scenes[1].id;
    root.putScenes(pad, stored);
    Model model(pad, DeviceKind::msdTwo, "MSD-TWO", root.path());
    ASSERT_EQ(model.scenes().size(), 3);
    EXPECT_EQ(model.scenes()[2].id, stored.scenes[2].id);
    EXPECT_EQ(model.activeSceneIndex(), 1);
    EXPECT_EQ(model.scenes()[1].keys.size(), 18);
    EXPECT_EQ(model.scenes()[1].keys[1].action, "Mute");
}

TEST(Model, FileThatCannotBeSetAsideIsNeverOverwrittenWhileTheRestIsSaved) {
    SettingsRoot root;
    auto files = std::make_shared<FailingFileSystem>();
    files->failCopiesFrom.insert(root.file(pad, "bindings.json"));
    const QByteArray unreadable = "{\"scenes\": [";
    root.put(pad, "bindings.json", unreadable);
    const QString suspended =
        "Changes aren't being saved: fix or move the unreadable configuration file, then restart "
        "Quorvel Zodovuvur";

    Model model(pad, DeviceKind::msdTwo, "MSD-TWO", root.path(), files);
    EXPECT_EQ(model.protectedURLs(), QSet<QString>{model.configURL()});
    EXPECT_EQ(model.message(), suspended);
    EXPECT_TRUE(root.read(pad, "appearance.json").contains("\"deviceName\":\"MSD-TWO\""));
    SignalLog log(model);
    EXPECT_EQ(actionErrorOf([&] { model.renameDevice("Studio"); }), suspended);
    EXPECT_EQ(model.deviceName(), "Studio");
    EXPECT_TRUE(root.read(pad, "appearance.json").contains("\"deviceName\":\"Studio\""));
    EXPECT_EQ(log.count("refresh"), 1);
    model.addScene();
    EXPECT_EQ(model.scenes().size(), 2);
    EXPECT_EQ(root.read(pad, "bindings.json"), unreadable);
}
