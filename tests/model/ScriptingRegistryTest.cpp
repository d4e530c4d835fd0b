#include "scripting/ScriptingRegistry.h"

#include "config/ConfigurationJson.h"
#include "model/Model.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString left = "mountain-73657269616c2d41";
const QString right = "mountain-73657269616c2d42";
const QString lcd = "msdTwo-73657269616c2d43";

bool isWrittenUuid(const std::optional<QString>& text) {
    return text && ConfigurationJson::uuidFromText(*text) && *text == text->toUpper();
}

std::unique_ptr<Model> start(const SettingsRoot& root, const QString& id, DeviceKind kind) {
    return std::make_unique<Model>(id, kind, kind.name(), root.path());
}

}  // namespace

TEST(ScriptingRegistry, EveryScreenButtonOfEverySceneGetsANameAndAUniqueId) {
    SettingsRoot root;
    root.putScenes(left, scenesOf(2, DeviceKind::mountain));
    root.putScenes(lcd, scenesOf(1, DeviceKind::msdTwo));
    auto mountain = start(root, left, DeviceKind::mountain);
    auto msd = start(root, lcd, DeviceKind::msdTwo);
    ASSERT_TRUE(mountain->save());
    ASSERT_TRUE(msd->save());

    QSet<QString> ids;
    for (int scene = 0; scene < 2; ++scene) {
        for (int key = 1; key <= 12; ++key) {
            const Binding& binding = mountain->scenes()[scene].keys[key - 1];
            EXPECT_EQ(binding.scriptName, QString("Scene%1Button%2").arg(scene + 1).arg(key));
            EXPECT_TRUE(isWrittenUuid(binding.scriptID));
            ids.insert(binding.scriptID.value_or(QString()));
        }
    }
    EXPECT_EQ(ids.size(), 24);
    const QList<Binding>& controls = msd->scenes()[0].keys;
    for (qsizetype index = 0; index < controls.size(); ++index) {
        EXPECT_EQ(controls[index].scriptName.has_value(), index < 6) << index;
        EXPECT_EQ(controls[index].scriptID.has_value(), index < 6) << index;
    }
    EXPECT_EQ(root.readScenes(lcd).scenes, msd->scenes());
}

TEST(ScriptingRegistry, SavingTwiceChangesNothingAndChosenNamesMayRepeat) {
    SettingsRoot root;
    SavedConfiguration stored = scenesOf(2, DeviceKind::mountain);
    stored.scenes[0].keys[0].scriptName = "Play";
    stored.scenes[1].keys[0].scriptName = "Play";
    root.putScenes(left, stored);
    auto model = start(root, left, DeviceKind::mountain);
    model->save();
    const QList<QuorvelScene> named = model->scenes();
    SignalLog log(*model);
    model->save();
    EXPECT_EQ(model->scenes(), named);
    EXPECT_EQ(log.count("scenes"), 0);
    EXPECT_EQ(named[1].keys[0].scriptName, "Play");
    EXPECT_NE(named[0].keys[0].scriptID, named[1].keys[0].scriptID);
}

TEST(ScriptingRegistry, IdsThatAreNoUuidOrRepeatAnotherSpellingAreReplaced) {
    SettingsRoot root;
    const QString lower = "3f2504e0-4f89-11d3-9a0c-0305e82c3301";
    SavedConfiguration stored = scenesOf(2, DeviceKind::mountain);
    stored.scenes[0].keys[0].scriptID = "button-one";
    stored.scenes[0].keys[1].scriptID = "{3F2504E0-4F89-11D3-9A0C-0305E82C3302}";
    stored.scenes[0].keys[2].scriptID = lower;
    stored.scenes[1].keys[2].scriptID = lower.toUpper();
    root.putScenes(left, stored);
    auto model = start(root, left, DeviceKind::mountain);
    model->save();
    const QList<QuorvelScene>& scenes = model->scenes();
    EXPECT_TRUE(isWrittenUuid(scenes[0].keys[0].scriptID));
    EXPECT_TRUE(isWrittenUuid(scenes[0].keys[1].scriptID));
    // A valid id is kept as written; the same UUID in another letter case is a
    // duplicate.
    EXPECT_EQ(scenes[0].keys[2].scriptID, lower);
    EXPECT_TRUE(isWrittenUuid(scenes[1].keys[2].scriptID));
    EXPECT_NE(scenes[1].keys[2].scriptID, lower.toUpper());
}

TEST(ScriptingRegistry, SameIdOnTwoDevicesDiffersOnceTheSecondIsSavedWhileTheDirectoryLives) {
    SettingsRoot root;
    const QString shared = "3F2504E0-4F89-11D3-9A0C-0305E82C3301";
    SavedConfiguration stored = scenesOf(1, DeviceKind::mountain);
    stored.scenes[0].keys[0].scriptID = shared;
    root.putScenes(left, stored);
    root.putScenes(right, stored);
    auto first = start(root, left, DeviceKind::mountain);
    auto second = start(root, right, DeviceKind::mountain);
    {
        auto gone = TestDirectory::install();
        gone->list = {first.get()};
    }
    ASSERT_TRUE(second->save());  // unique within the device is all it can see
    EXPECT_EQ(second->scenes()[0].keys[0].scriptID, shared);

    auto directory = TestDirectory::install();
    directory->list = {first.get(), second.get()};
    ASSERT_TRUE(second->save());
    const std::optional<QString> renewed = second->scenes()[0].keys[0].scriptID;
    EXPECT_TRUE(isWrittenUuid(renewed));
    EXPECT_NE(renewed, shared);
    EXPECT_EQ(root.readScenes(right).scenes[0].keys[0].scriptID, renewed);
    // The first keeps its id: nothing else claims it any longer.
    ASSERT_TRUE(first->save());
    EXPECT_EQ(first->scenes()[0].keys[0].scriptID, shared);
}
