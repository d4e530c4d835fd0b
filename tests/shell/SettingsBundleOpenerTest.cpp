#include "shell/SettingsBundleOpener.h"

#include "config/SettingsArchive.h"
#include "support/ModelHarness.h"
#include "support/SettingsFiles.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
struct FakeBundleDialogs : BundleOpeningDialogs {
    void showImportFailure(const QString& message) override { failures << message; }
    std::optional<int> chooseDestination(const QString& message, const QString& informative,
                                         const QStringList& names, int preselected) override {
        asked =
            QStringList{message, informative} + names + QStringList{QString::number(preselected)};
        return answer;
    }
    QStringList failures, asked;
    std::optional<int> answer;
};
}  // namespace

TEST(SettingsBundleOpener, AsksWhichPadOfTheBundlesKindReceivesItAndImportsThere) {
    ModelHarness harness;
    Model* first = harness.attach(ModelHarness::displayPad());
    Model* second = harness.attach(ModelHarness::displayPad(0x01250000, "VDP-2"));
    QTemporaryDir folder;
    QMap<QString, QUuid> sceneOf;
    const auto bundle = [&](DeviceKind kind, const QString& name) {
        SettingsArchive archive;
        archive.kind = kind;
        archive.scenes = scenesOf(2, kind).scenes;
        archive.activeSceneID = sceneOf[name] = archive.scenes[0].id;
        archive.write(folder.filePath(name));
        return folder.filePath(name);
    };
    const QString msd = bundle(DeviceKind::msdTwo, "msd.quorvel");
    const QString pad = bundle(DeviceKind::mountain, "pad.quorvel");
    const QString broken = folder.filePath("missing.quorvel");
    const QString readError = actionErrorOf([&] { SettingsArchive::read(broken); });
    const QString choose = "Choose the destination device.";
    const QStringList question = {"Import pad.quorvel", choose, first->deviceName(),
                                  second->deviceName()};
    const QStringList msdQuestion = {"Import msd.quorvel", choose, "MSD-TWO \u00B7 USB 01240000"};
    Model* msdTwo = nullptr;
    const struct {
        QString path;
        std::optional<QString> selected;
        std::optional<int> answer;
        bool display;
        QStringList asked;
        QString failure;
        Model** into;
    } rows[] = {
        {broken, {}, 0, true, {}, readError, nullptr},
        {msd, {}, 0, true, {}, "Connect a MSD-TWO before importing this bundle", nullptr},
        {pad, second->id(), std::nullopt, true, question + QStringList{"1"}, "", nullptr},
        {pad, {}, 1, true, question + QStringList{"0"}, "", &second},
        {pad, "none", 0, true, question + QStringList{"0"}, "", &first},
        {pad, {}, 0, false, {}, "Choosing the destination device needs a display", nullptr},
        {msd, {}, 0, true, msdQuestion + QStringList{"0"}, "", &msdTwo},
    };
    SettingsBundleOpener opener(harness.store());
    std::optional<std::pair<bool, QString>> outcome;
    QObject::connect(&opener, &SettingsBundleOpener::bundleDone,
                     [&](const QString&, bool imported, const QString& message) {
                         outcome = {imported, message};
                     });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path.toStdString() + " " + row.failure.toStdString());
        if (row.into == &msdTwo) {
            msdTwo = harness.attach(ModelHarness::msdTwo());
        }
        auto dialogs = std::make_shared<FakeBundleDialogs>();
        dialogs->answer = row.answer;
        opener.setDialogs(row.display ? dialogs : nullptr);
        harness.store().select(row.selected);
        outcome.reset();
        opener.open({row.path});
        ASSERT_TRUE(waitUntil([&] { return opener.isIdle() && outcome; }));
        EXPECT_EQ(dialogs->asked, row.asked);
        EXPECT_EQ(outcome->first, row.into != nullptr);
        EXPECT_EQ(outcome->second.left(row.failure.size()), row.failure);
        const bool alert = row.display && !row.failure.isEmpty();
        EXPECT_EQ(dialogs->failures, alert ? QStringList{outcome->second} : QStringList());
        if (row.into) {
            EXPECT_EQ(harness.store().selectedID(), (*row.into)->id());
            EXPECT_EQ((*row.into)->scenes()[0].id, sceneOf[QFileInfo(row.path).fileName()]);
            EXPECT_EQ((*row.into)->message(), "Device settings replaced");
        }
    }
}
