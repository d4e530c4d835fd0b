#include "support/ModelHarness.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using Codes = QList<int>;

// Reports reach the active scene's binding of each control that went down, one press per dial
// detent; nothing runs while recording a shortcut (held keys stay current) or shutting down.
TEST(Model, ReportsRunTheActiveBindingsUnlessRecordingOrShuttingDown) {
    ModelHarness bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain, 2);
    configuration.scenes[1].keys[0].keyCode = 40;
    configuration.activeSceneID = configuration.scenes[1].id;
    auto model = bed.model(DeviceKind::mountain, configuration);
    model->receive(displayPadKeyReport({1}));
    model->receive(displayPadKeyReport({1, 3}));
    model->receive(msdTwoReport(2));  // another kind's report
    model->handle(13);                // no such key
    model->setRecording(9);
    model->receive(displayPadKeyReport({5}));
    EXPECT_EQ(model->heldKeys(), (std::set<int>{5}));
    model->receive(displayPadKeyReport({}));
    model->setRecording(std::nullopt);
    model->receive(displayPadKeyReport({5}));
    model->setShuttingDown();
    model->receive(displayPadKeyReport({1}));
    auto msd = bed.model(DeviceKind::msdTwo, keystrokeScenes(DeviceKind::msdTwo), "msd-1");
    msd->receive(displayPadKeyReport({2}));
    msd->receive(msdTwoReport(0x50));
    msd->receive(msdTwoReport(0x50));
    EXPECT_EQ(bed.input->pressedKeyCodes(), (Codes{40, 3, 5, 0x50, 0x50}));
}

// A keystroke that could not be posted shows only the reason.
TEST(Model, PressShowsNameArrowAndStoredActionNameOrWhyTheKeystrokeFailed) {
    ModelHarness bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain);
    configuration.scenes[0].keys[2].action = QStringLiteral("None");
    configuration.scenes[0].keys[3].action = QStringLiteral("volume up");  // no such action
    auto model = bed.model(DeviceKind::mountain, configuration);
    const std::pair<int, QString> presses[] = {
        {3, "LCD key 3 \u2192 None"}, {4, "LCD key 4 \u2192 volume up"}, {5, ""}};
    for (const auto& [key, message] : presses) {
        model->handle(key);
        EXPECT_EQ(model->message(), message);
    }
    bed.input->problem = QStringLiteral("Cannot write to /dev/uinput");
    EXPECT_FALSE(model->requestAccessibilityAccess());
    model->handle(2);
    EXPECT_EQ(bed.input->pressedKeyCodes(), Codes{5});
    EXPECT_TRUE(model->message().contains(bed.input->problem)) << model->message();
}

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
