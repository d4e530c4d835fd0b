#include "model/Model.h"

#include "support/ModelHarness.h"

#include <QDir>

#include <gtest/gtest.h>

// Export, change the device, import the bundle back with "replace": the configuration and what
// the pad shows are as before the export, the artwork now read from the device's own folder
// (the messages are the program test's to check). Key 2 shows the Mute icon from the exported
// picture now, so it may differ by rounding.
TEST(SettingsRoundTrip, ExportThenReplaceRestoresConfigurationAndPictures) {
    ModelHarness harness;
    const auto pad = ModelHarness::displayPad();
    SavedConfiguration configuration =
        coloredScenes(harness, DeviceKind::mountain, {Qt::red, Qt::green, Qt::blue});
    configuration.scenes[0].keys[4].imagePath = harness.solidImage("yellow", Qt::yellow);
    configuration.scenes[0].keys[1].action = QStringLiteral("Mute");
    harness.putScenes(ModelHarness::idOf(*pad), configuration);
    Model* model = harness.attach(pad);
    ASSERT_TRUE(waitUntil([&] { return near(keyColor(*pad, 5), Qt::yellow); }));
    const QList<QuorvelScene> before = model->scenes();
    QList<QImage> shown;
    for (int key = 1; key <= 12; ++key) {
        shown.append(pad->keyImage(key));
    }
    const QString bundle = QDir(harness.root()).filePath("device.quorvel");
    ASSERT_TRUE(model->exportSettings(false, bundle)) << model->message();
    model->clearAction(5);
    ASSERT_TRUE(waitUntil([&] { return keyColor(*pad, 5) == QColor(Qt::black); }));
    std::optional<bool> imported;
    model->importSettings(bundle, {Model::ImportMode::replace, false},
                          [&](bool done, const QString&) { imported = done; });
    ASSERT_TRUE(waitUntil([&] { return imported.has_value(); }));
    ASSERT_TRUE(*imported) << model->message();

    QList<QuorvelScene> after = model->scenes();
    ASSERT_EQ(after.size(), before.size());
    for (qsizetype s = 0; s < before.size(); ++s) {
        for (qsizetype k = 0; k < before[s].keys.size(); ++k) {
            std::optional<QString>& path = after[s].keys[k].imagePath;
            EXPECT_TRUE(!path || path->startsWith(model->imagesFolder())) << *path;
            path = before[s].keys[k].imagePath;
        }
    }
    EXPECT_EQ(after, before);
    EXPECT_TRUE(waitUntil([&] {
        for (int key = 1; key <= 12; ++key) {
            if (key != 2 && pad->keyImage(key) != shown[key - 1]) {
                return false;
            }
        }
        return true;
    }));
}
