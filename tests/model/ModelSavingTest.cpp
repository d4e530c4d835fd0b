#include "model/Model.h"

#include "core/ActionError.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QString pad = QStringLiteral("mountain-73657269616c2d41");

}  // namespace

TEST(Model, SavedStateIsWhatTheNextStartFinds) {
    SettingsRoot root;
    {
        Model model(pad, DeviceKind::mountain, QStringLiteral("Mountain DisplayPad"), root.path());
        model.addScene();
        model.renameDevice(QStringLiteral("Desk"));
        EXPECT_EQ(model.message(), QStringLiteral("Waiting for device"));
    }
    EXPECT_EQ(
        root.read(pad, "appearance.json"),
        QByteArray(R"({"brightness":"80","deviceName":"Desk","followMacBrightness":"false"})"));
    const SavedConfiguration written = root.readScenes(pad);
    Model model(pad, DeviceKind::mountain, QStringLiteral("Mountain DisplayPad"), root.path());
    EXPECT_EQ(model.scenes(), written.scenes);
    EXPECT_EQ(model.activeSceneIndex(), 1);
    EXPECT_EQ(model.deviceName(), QStringLiteral("Desk"));
}

TEST(Model, SaveNamesButtonsBeforeSiteIconsAndRefreshesOnlyAfterWriting) {
    SettingsRoot root;
    Model model(pad, DeviceKind::mountain, QStringLiteral("Pad"), root.path());
    QStringList seen;
    QObject::connect(&model, &Model::siteIconScheduleRequested, [&] {
        seen << QStringLiteral("icons named=%1 written=%2")
                    .arg(model.scenes()[0].keys[0].scriptName.value_or(QString()))
                    .arg(QFileInfo::exists(model.configURL()) ? 1 : 0);
    });
    QObject::connect(&model, &Model::displayRefreshRequested, [&] {
        seen << QStringLiteral("refresh written=%1").arg(root.readScenes(pad).scenes.size());
    });
    EXPECT_TRUE(model.save());
    EXPECT_EQ(seen, QStringList({QStringLiteral("icons named=Scene1Button1 written=0"),
                                 QStringLiteral("refresh written=1")}));
}

TEST(Model, FailedWriteReportsCouldNotSaveKeepsTheChangeAndRefreshesNothing) {
    SettingsRoot root;
    auto files = std::make_shared<FailingFileSystem>();
    Model model(pad, DeviceKind::mountain, QStringLiteral("Pad"), root.path(), files);
    files->failWritesTo.insert(model.configURL());
    SignalLog log(model);

    model.addScene();
    EXPECT_EQ(model.message(),
              QStringLiteral("Could not save: There isn’t enough space on the disk."));
    EXPECT_EQ(model.scenes().size(), 2);
    EXPECT_EQ(log.count("refresh"), 0);
    EXPECT_EQ(log.count("siteIcons"), 1);
    EXPECT_FALSE(QFileInfo::exists(model.appearanceURL()));

    files->failWritesTo = {model.appearanceURL()};
    EXPECT_EQ(actionErrorOf([&] { model.renameDevice(QStringLiteral("Studio")); }),
              QStringLiteral("Could not save: There isn’t enough space on the disk."));
    EXPECT_EQ(model.deviceName(), QStringLiteral("Studio"));
    EXPECT_EQ(root.readScenes(pad).scenes.size(), 2);

    files->failWritesTo.clear();
    EXPECT_TRUE(model.save());
    EXPECT_EQ(log.count("refresh"), 1);
}

TEST(Model, RenameStoresTheTrimmedNameAndRefusesABlankOne) {
    SettingsRoot root;
    Model model(pad, DeviceKind::mountain, QStringLiteral("Pad"), root.path());
    model.renameDevice(QStringLiteral(" \t Left pad  \n"));
    EXPECT_EQ(model.deviceName(), QStringLiteral("Left pad"));
    EXPECT_TRUE(root.read(pad, "appearance.json").contains("\"deviceName\":\"Left pad\""));

    SignalLog log(model);
    const QByteArray before = root.read(pad, "appearance.json");
    EXPECT_EQ(actionErrorOf([&] { model.renameDevice(QStringLiteral("  \n\t ")); }),
              QStringLiteral("A device name cannot be empty"));
    EXPECT_EQ(model.deviceName(), QStringLiteral("Left pad"));
    EXPECT_TRUE(log.names.isEmpty());
    EXPECT_EQ(root.read(pad, "appearance.json"), before);
}

TEST(Model, ObserversHearEachFieldThatReallyChanged) {
    SettingsRoot root;
    Model model(pad, DeviceKind::mountain, QStringLiteral("Pad"), root.path());
    SignalLog log(model);
    model.addScene();
    // The second scenes change is the new buttons getting their names.
    EXPECT_EQ(log.names, QStringList({"scenes", "changed", "activeSceneID", "changed", "scenes",
                                      "changed", "siteIcons", "refresh"}));
    log.names.clear();
    model.report(QStringLiteral("LCD key 3 → Volume up"));
    model.report(QStringLiteral("LCD key 3 → Volume up"));
    model.setRecording(3);
    model.setRecording(3);
    model.renameDevice(QStringLiteral("Pad"));
    EXPECT_EQ(log.names,
              QStringList({"message", "changed", "recording", "changed", "siteIcons", "refresh"}));
    EXPECT_EQ(model.message(), QStringLiteral("LCD key 3 → Volume up"));
    EXPECT_EQ(model.recording(), 3);
}
