#include "config/ConfigurationJson.h"

#include "ModelTestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString left = "mountain-73657269616c2d41";

bool isWrittenUuid(const std::optional<QString>& text) {
    return text && ConfigurationJson::uuidFromText(*text) && *text == text->toUpper();
}

}  // namespace

// Chosen names may repeat; a valid id is kept as written, but the same UUID in another letter
// case is a duplicate, and ids that are no UUID are replaced. Dials get neither.
TEST(ScriptingRegistry, EveryScreenButtonGetsANameAndAUniqueValidIdOnce) {
    const QString lower = "3f2504e0-4f89-11d3-9a0c-0305e82c3301";
    SavedConfiguration stored = scenesOf(2, DeviceKind::mountain);
    stored.scenes[0].keys[0].scriptName = stored.scenes[1].keys[0].scriptName = "Play";
    stored.scenes[0].keys[0].scriptID = "button-one";
    stored.scenes[0].keys[1].scriptID = "{3F2504E0-4F89-11D3-9A0C-0305E82C3302}";
    stored.scenes[0].keys[2].scriptID = lower;
    stored.scenes[1].keys[2].scriptID = lower.toUpper();
    TestModel mountain(left, DeviceKind::mountain, stored);
    TestModel msd("msdTwo-73657269616c2d43", DeviceKind::msdTwo, scenesOf(1, DeviceKind::msdTwo));
    ASSERT_TRUE(mountain->save() && msd->save());
    QSet<QString> ids;
    for (int scene = 0; scene < 2; ++scene) {
        for (int key = 1; key <= 12; ++key) {
            const Binding& binding = mountain->scenes()[scene].keys[key - 1];
            EXPECT_EQ(binding.scriptName,
                      key == 1 ? "Play" : QString("Scene%1Button%2").arg(scene + 1).arg(key));
            EXPECT_TRUE(scene == 0 && key == 3 ? binding.scriptID == lower
                                               : isWrittenUuid(binding.scriptID))
                << scene << " " << key;
            ids.insert(binding.scriptID.value_or(QString()).toUpper());
        }
    }
    EXPECT_EQ(ids.size(), 24);
    const QList<Binding>& controls = msd->scenes()[0].keys;
    for (qsizetype index = 0; index < controls.size(); ++index) {
        EXPECT_EQ(controls[index].scriptName.has_value(), index < 6) << index;
        EXPECT_EQ(controls[index].scriptID.has_value(), index < 6) << index;
    }
    EXPECT_EQ(msd.root.readScenes("msdTwo-73657269616c2d43").scenes, msd->scenes());
    // Saving again changes nothing.
    const QList<QuorvelScene> named = mountain->scenes();
    mountain.log->names.clear();
    ASSERT_TRUE(mountain->save());
    EXPECT_EQ(mountain->scenes(), named);
    EXPECT_EQ(mountain.log->count("scenes"), 0);
}
