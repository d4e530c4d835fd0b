#include "model/Model.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString pad = "mountain-73657269616c2d41";

}  // namespace

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
        EXPECT_EQ(model.message(), "Waiting for device");
    }
    EXPECT_EQ(root.read(pad, "appearance.json"),
              R"({"brightness":"80","deviceName":"Desk","followMacBrightness":"false"})");
    const SavedConfiguration written = root.readScenes(pad);
    Model model(pad, DeviceKind::mountain, "Mountain DisplayPad", root.path());
    EXPECT_EQ(model.scenes(), written.scenes);
    EXPECT_EQ(model.activeSceneIndex(), 1);
    EXPECT_EQ(model.deviceName(), "Desk");
}

TEST(Model, SaveNamesButtonsBeforeSiteIconsAndRefreshesOnlyAfterWriting) {
    SettingsRoot root;
    Model model(pad, DeviceKind::mountain, "Pad", root.path());
    QStringList seen;
    QObject::connect(&model, &Model::siteIconScheduleRequested, [&] {
        seen << QString("icons named=%1 written=%2")
                    .arg(model.scenes()[0].keys[0].scriptName.value_or(""))
                    .arg(QFileInfo::exists(model.configURL()));
    });
    QObject::connect(&model, &Model::displayRefreshRequested, [&] {
        seen << QString("refresh written=%1").arg(root.readScenes(pad).scenes.size());
    });
    EXPECT_TRUE(model.save());
    EXPECT_EQ(seen, QStringList({"icons named=Scene1Button1 written=0", "refresh written=1"}));
}

TEST(Model, FailedWriteReportsCouldNotSaveKeepsTheChangeAndRefreshesNothing) {
    SettingsRoot root;
    auto files = std::make_shared<FailingFileSystem>();
    Model model(pad, DeviceKind::mountain, "Pad", root.path(), files);
    files->failWritesTo.insert(model.configURL());
    SignalLog log(model);
    model.addScene();
    EXPECT_EQ(model.message(), "Could not save: No space left on device");
    EXPECT_EQ(model.scenes().size(), 2);
    EXPECT_EQ(log.count("refresh"), 0);
    EXPECT_EQ(log.count("siteIcons"), 1);
    EXPECT_FALSE(QFileInfo::exists(model.appearanceURL()));

    files->failWritesTo = {model.appearanceURL()};
    EXPECT_EQ(actionErrorOf([&] { model.renameDevice("Studio"); }),
              "Could not save: No space left on device");
    EXPECT_EQ(model.deviceName(), "Studio");
    EXPECT_EQ(root.readScenes(pad).scenes.size(), 2);
    files->failWritesTo.clear();
    EXPECT_TRUE(model.save());
    EXPECT_EQ(log.count("refresh"), 1);
}

TEST(Model, ObserversHearEachFieldThatReallyChanged) {
    SettingsRoot root;
    Model model(pad, DeviceKind::mountain, "Pad", root.path());
    SignalLog log(model);
    model.addScene();
    // The second scenes change is the new buttons getting their names.
    EXPECT_EQ(log.names, QStringList({"scenes", "changed", "activeSceneID", "changed", "scenes",
                                      "changed", "siteIcons", "refresh"}));
    log.names.clear();
    for (int twice = 0; twice < 2; ++twice) {
        model.report("LCD key 3 → Volume up");
        model.setRecording(3);
    }
    model.renameDevice("Pad");
    EXPECT_EQ(log.names,
              QStringList({"message", "changed", "recording", "changed", "siteIcons", "refresh"}));
    EXPECT_EQ(model.message(), "LCD key 3 → Volume up");
    EXPECT_EQ(model.recording(), 3);
}
