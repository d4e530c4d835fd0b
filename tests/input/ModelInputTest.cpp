#include "support/ModelHarness.h"
#include "support/PadReports.h"

#include <gtest/gtest.h>

using Codes = QList<int>;

// Reports reach the binding of each control that went down; reports that are no control events
// (a reply, a short report, another kind's report) change nothing.
TEST(Model, ReportsRunTheBindingsOfTheControlsThatWentDown) {
    ModelHarness bed;
    auto model = bed.model(DeviceKind::mountain, keystrokeScenes(DeviceKind::mountain));
    model->receive(displayPadKeyReport({3}));
    model->receive(displayPadKeyReport({3, 5}));
    model->receive(displayPadKeyReport({3, 5}));
    const QString message = model->message();
    model->receive(hexBytes("11 80 00 00 01") + QByteArray(59, '\0'));
    model->receive(displayPadKeyReport({3, 5, 6}).left(47));
    model->receive(msdTwoReport(2));
    EXPECT_EQ(model->heldKeys(), (std::set<int>{3, 5}));
    EXPECT_EQ(model->message(), message);
    model->receive(displayPadKeyReport({}));
    EXPECT_TRUE(model->heldKeys().empty());
    model->receive(displayPadKeyReport({3}));

    auto msd = bed.model(DeviceKind::msdTwo, keystrokeScenes(DeviceKind::msdTwo), "msd-1");
    QByteArray notOk = msdTwoReport(2);
    notOk[5] = 'N';
    msd->receive(notOk);
    msd->receive(msdTwoReport(2).left(9));
    msd->receive(displayPadKeyReport({2}));
    ASSERT_EQ(DeviceKind(DeviceKind::msdTwo).dial(0x50)->counterclockwise, 0x50);
    msd->receive(msdTwoReport(0x50));
    msd->receive(msdTwoReport(0x50));  // one press per detent
    EXPECT_EQ(bed.input->pressedKeyCodes(), (Codes{3, 5, 3, 0x50, 0x50}));
}

TEST(Model, PressShowsNameArrowAndStoredActionName) {
    ModelHarness bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain);
    configuration.scenes[0].keys[2].action = QStringLiteral("None");
    configuration.scenes[0].keys[3].action = QStringLiteral("volume up");  // no such action
    auto model = bed.model(DeviceKind::mountain, configuration);
    model->handle(3);
    EXPECT_EQ(model->message(), QStringLiteral("LCD key 3 \u2192 None"));
    model->handle(4);
    EXPECT_EQ(model->message(), QStringLiteral("LCD key 4 \u2192 volume up"));
    model->handle(5);
    EXPECT_EQ(model->message(), QString()) << "a keystroke that was posted clears the line";
}

// Only the active scene's binding runs; nothing runs while recording a shortcut (held keys stay
// current) or while shutting down.
TEST(Model, PressRunsTheActiveBindingUnlessRecordingOrShuttingDown) {
    ModelHarness bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain, 2);
    configuration.scenes[1].keys[0].keyCode = 40;
    configuration.activeSceneID = configuration.scenes[1].id;
    auto model = bed.model(DeviceKind::mountain, configuration);
    model->handle(1);
    model->handle(13);  // no such key
    model->setRecording(9);
    model->receive(displayPadKeyReport({5}));
    EXPECT_EQ(model->heldKeys(), (std::set<int>{5}));
    model->receive(displayPadKeyReport({}));
    model->setRecording(std::nullopt);
    model->receive(displayPadKeyReport({5}));
    model->setShuttingDown();
    model->receive(displayPadKeyReport({1}));
    EXPECT_EQ(bed.input->pressedKeyCodes(), (Codes{40, 5}));
}

TEST(Model, KeystrokeWithoutInputPermissionShowsOnlyTheHint) {
    ModelHarness bed;
    bed.input->problem = QStringLiteral("Cannot write to /dev/uinput");
    auto model = bed.model(DeviceKind::mountain, keystrokeScenes(DeviceKind::mountain));
    EXPECT_FALSE(model->requestAccessibilityAccess());
    model->handle(2);
    EXPECT_TRUE(bed.input->posted.isEmpty());
    EXPECT_TRUE(model->message().contains(bed.input->problem)) << model->message().toStdString();
}
