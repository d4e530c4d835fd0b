#include "model/Model.h"

#include "config/DefaultConfiguration.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString pad = QStringLiteral("msdTwo-706f72742d3030303030303261");

// A started model over `count` stored scenes, the one at `active` active.
struct Device {
    Device(int count, int active) {
        stored = scenesOf(count, DeviceKind::msdTwo);
        stored.activeSceneID = stored.scenes[active].id;
        root.putScenes(pad, stored);
        model = std::make_unique<Model>(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"),
                                        root.path());
        log = std::make_unique<SignalLog>(*model);
    }
    QUuid storedID(int index) const { return stored.scenes[index].id; }
    int saves() const { return log->count("refresh"); }

    SettingsRoot root;
    SavedConfiguration stored;
    std::unique_ptr<Model> model;
    std::unique_ptr<SignalLog> log;
};

}  // namespace

TEST(Model, SelectSceneSavesOnlyWhenAnotherExistingSceneIsChosen) {
    Device device(3, 0);
    device.model->selectScene(QUuid::createUuid());
    device.model->selectScene(device.storedID(0));
    EXPECT_EQ(device.saves(), 0);
    device.model->selectScene(device.storedID(2));
    EXPECT_EQ(device.model->activeSceneIndex(), 2);
    EXPECT_EQ(device.saves(), 1);
    EXPECT_EQ(device.root.readScenes(pad).activeSceneID, device.storedID(2));
}

TEST(Model, AddSceneAppendsADefaultSceneAndActivatesIt) {
    Device device(2, 0);
    device.model->addScene();
    ASSERT_EQ(device.model->scenes().size(), 3);
    const QuorvelScene& added = device.model->scenes()[2];
    EXPECT_EQ(device.model->activeSceneID(), added.id);
    EXPECT_FALSE(added.backgroundPath);
    const QList<Binding> defaults = DefaultConfiguration::bindings(DeviceKind::msdTwo);
    ASSERT_EQ(added.keys.size(), defaults.size());
    for (qsizetype index = 0; index < defaults.size(); ++index) {
        EXPECT_EQ(added.keys[index].name, defaults[index].name);
        EXPECT_EQ(added.keys[index].action, QStringLiteral("None"));
    }
    EXPECT_EQ(device.root.readScenes(pad).scenes.size(), 3);
}

TEST(Model, DeleteActiveSceneActivatesTheSceneThatTakesItsPlace) {
    Device last(3, 2);
    last.model->deleteActiveScene();
    EXPECT_EQ(last.model->scenes().size(), 2);
    EXPECT_EQ(last.model->activeSceneID(), last.storedID(1));
    EXPECT_EQ(last.root.readScenes(pad).scenes.size(), 2);

    Device first(3, 0);
    first.model->deleteActiveScene();
    EXPECT_EQ(first.model->activeSceneID(), first.storedID(1));
    EXPECT_EQ(first.model->scenes()[0].id, first.storedID(1));
    EXPECT_EQ(first.log->names.indexOf("activeSceneID"), 0);

    Device single(1, 0);
    single.model->deleteActiveScene();
    EXPECT_EQ(single.model->scenes().size(), 1);
    EXPECT_TRUE(single.log->names.isEmpty());
}

TEST(Model, ChangeSceneWrapsAtBothEndsAndClearsTheMessage) {
    Device device(4, 0);
    device.model->report(QStringLiteral("Volume failed"));
    device.model->changeScene(-1);
    EXPECT_EQ(device.model->activeSceneID(), device.storedID(3));
    EXPECT_EQ(device.model->message(), QString());
    device.model->changeScene(1);
    EXPECT_EQ(device.model->activeSceneID(), device.storedID(0));
    device.model->changeScene(-9);
    EXPECT_EQ(device.model->activeSceneID(), device.storedID(3));
    device.model->changeScene(6);
    EXPECT_EQ(device.model->activeSceneID(), device.storedID(1));
    EXPECT_EQ(device.saves(), 4);

    Device single(1, 0);
    single.model->report(QStringLiteral("Volume failed"));
    single.model->changeScene(1);
    EXPECT_EQ(single.model->message(), QStringLiteral("Volume failed"));
    EXPECT_EQ(single.saves(), 0);
}

TEST(Model, DuplicateDropsIdentifiersAndAutomaticNamesButKeepsChosenNames) {
    SettingsRoot root;
    SavedConfiguration stored = scenesOf(3, DeviceKind::msdTwo);
    stored.activeSceneID = stored.scenes[1].id;
    stored.scenes[1].keys[3].scriptName = QStringLiteral("Scene2Button4");
    stored.scenes[1].keys[4].scriptName = QStringLiteral("Scene1Button5");
    stored.scenes[1].keys[6].scriptID = QStringLiteral("dial-id");
    root.putScenes(pad, stored);
    Model model(pad, DeviceKind::msdTwo, QStringLiteral("MSD-TWO"), root.path());
    ASSERT_TRUE(model.save());
    const QList<QuorvelScene> before = model.scenes();
    model.duplicateActiveScene();

    ASSERT_EQ(model.scenes().size(), 4);
    const QuorvelScene& original = model.scenes()[1];
    const QuorvelScene& copy = model.scenes()[2];
    EXPECT_EQ(original, before[1]);
    EXPECT_EQ(model.scenes()[3], before[2]);
    EXPECT_EQ(model.activeSceneID(), copy.id);
    EXPECT_NE(copy.id, original.id);
    // Automatic names of the original are dropped, so save names those keys for their new place.
    EXPECT_EQ(copy.keys[0].scriptName, QStringLiteral("Scene3Button1"));
    EXPECT_EQ(copy.keys[3].scriptName, QStringLiteral("Scene3Button4"));
    EXPECT_EQ(copy.keys[4].scriptName, QStringLiteral("Scene1Button5"));
    for (qsizetype index = 0; index < 6; ++index) {
        EXPECT_NE(copy.keys[index].scriptID, original.keys[index].scriptID);
    }
    // Dials are no screen buttons: their ids are dropped from the copy and nothing names them.
    EXPECT_FALSE(copy.keys[6].scriptID);
    EXPECT_FALSE(copy.keys[6].scriptName);
    EXPECT_EQ(original.keys[6].scriptID, QStringLiteral("dial-id"));
    EXPECT_EQ(root.readScenes(pad).scenes, model.scenes());
}
