#include "support/ModelHarness.h"

#include <gtest/gtest.h>

// Pressing a screen button runs its binding, then the button is sent again (the pad draws a
// border on press); dials have no border to repair.
TEST(Model, ScreenButtonPressRunsItsBindingThenResendsOnlyThatButton) {
    ModelHarness harness;
    auto pad = ModelHarness::msdTwo();
    harness.putScenes(ModelHarness::idOf(*pad), keystrokeScenes(DeviceKind::msdTwo));
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const auto uploads = [&] {
        QList<int> counts;
        for (int key = 1; key <= VirtualMsdTwo::buttonCount; ++key) {
            counts << pad->imagesReceived(key);
        }
        return counts;
    };
    QList<int> expected = uploads();
    pad->sendControl(0x50);
    pad->pressScreenButton(4);
    ++expected[3];
    EXPECT_TRUE(waitUntil([&] { return uploads() == expected; }));
    EXPECT_EQ(harness.input->pressedKeyCodes(), (QList<int>{0x50, 4}));
    EXPECT_EQ(pad->buttonBytes(4), model->keyImages()->at(3));
    pad->pressScreenButton(6);
    ++expected[5];
    EXPECT_TRUE(waitUntil([&] { return uploads() == expected; }));
    EXPECT_EQ(pad->protocolErrors(), 0);
}
