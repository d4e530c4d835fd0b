#include "model/Model.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString pad = "msdTwo-706f72742d3030303030303261";

// A started model over `count` stored scenes, the one at `active` active.
struct Device {
    Device(int count, int active, const std::function<void(QList<QuorvelScene>&)>& edit = {})
        : stored(scenesOf(count, DeviceKind::msdTwo)) {
        stored.activeSceneID = stored.scenes[active].id;
        if (edit) {
            edit(stored.scenes);
        }
        root.putScenes(pad, stored);
        model = std::make_unique<Model>(pad, DeviceKind::msdTwo, "MSD-TWO", root.path());
        log = std::make_unique<SignalLog>(*model);
    }
    QUuid storedID(int index) const { return stored.scenes[index].id; }
    int saves() const { return log->count("refresh"); }
    QUuid savedActive() const { return root.readScenes(pad).activeSceneID; }

    SettingsRoot root;
    SavedConfiguration stored;
    std::unique_ptr<Model> model;
    std::unique_ptr<SignalLog> log;
};

}  // namespace

TEST(Model, SelectAndAddSaveTheSceneTheyActivate) {
    Device device(2, 0);
    device.model->selectScene(QUuid::createUuid());
    device.model->selectScene(device.storedID(0));
    EXPECT_EQ(device.saves(), 0);
    device.model->selectScene(device.storedID(1));
    EXPECT_EQ(device.model->activeSceneIndex(), 1);
    EXPECT_EQ(device.saves(), 1);
    EXPECT_EQ(device.savedActive(), device.storedID(1));

    device.model->addScene();
    ASSERT_EQ(device.model->scenes().size(), 3);
    const QuorvelScene& added = device.model->scenes()[2];
    EXPECT_EQ(device.model->activeSceneID(), added.id);
    EXPECT_FALSE(added.backgroundPath);
    for (const Binding& binding : added.keys) {
        EXPECT_EQ(binding.action, "None");
    }
    EXPECT_EQ(added.keys.size(), device.model->scenes()[0].keys.size());
    EXPECT_EQ(device.savedActive(), added.id);
}

TEST(Model, DeleteActiveSceneActivatesTheSceneThatTakesItsPlace) {
    Device last(3, 2), first(3, 0), single(1, 0);
    last.model->deleteActiveScene();
    EXPECT_EQ(last.model->scenes().size(), 2);
    EXPECT_EQ(last.model->activeSceneID(), last.storedID(1));
    EXPECT_EQ(last.root.readScenes(pad).scenes.size(), 2);
    first.model->deleteActiveScene();
    EXPECT_EQ(first.model->activeSceneID(), first.storedID(1));
    EXPECT_EQ(first.model->scenes()[0].id, first.storedID(1));
    EXPECT_EQ(first.log->names.indexOf("activeSceneID"), 0);
    single.model->deleteActiveScene();
    EXPECT_EQ(single.model->scenes().size(), 1);
    EXPECT_TRUE(single.log->names.isEmpty());
}

TEST(Model, ChangeSceneWrapsAtBothEndsAndClearsTheMessage) {
    Device device(4, 0), single(1, 0);
    device.model->report("Volume failed");
    for (const auto& [steps, index] : {std::pair(-1, 3), {1, 0}, {-9, 3}, {6, 1}}) {
        device.model->changeScene(steps);
        EXPECT_EQ(device.model->activeSceneID(), device.storedID(index)) << steps;
    }
    EXPECT_EQ(device.model->message(), "");
    EXPECT_EQ(device.saves(), 4);
    single.model->report("Volume failed");
    single.model->changeScene(1);
    EXPECT_EQ(single.model->message(), "Volume failed");
    EXPECT_EQ(single.saves(), 0);
}

TEST(Model, DuplicateDropsIdentifiersAndAutomaticNamesButKeepsChosenNames) {
    Device device(3, 1, [](QList<QuorvelScene>& scenes) {
        scenes[1].keys[3].scriptName = "Scene2Button4";
        scenes[1].keys[4].scriptName = "Scene1Button5";
        scenes[1].keys[6].scriptID = "dial-id";
    });
    Model& model = *device.model;
    ASSERT_TRUE(model.save());
    const QList<QuorvelScene> before = model.scenes();
    model.duplicateActiveScene();

    ASSERT_EQ(model.scenes().size(), 4);
    const QuorvelScene &original = model.scenes()[1], &copy = model.scenes()[2];
    EXPECT_EQ(original, before[1]);
    EXPECT_EQ(model.scenes()[3], before[2]);
    EXPECT_EQ(model.activeSceneID(), copy.id);
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
    EXPECT_EQ(device.root.readScenes(pad).scenes, model.scenes());
}
