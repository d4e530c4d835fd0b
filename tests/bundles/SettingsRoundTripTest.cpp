#include "artwork/ImageLoading.h"
#include "config/SettingsArchive.h"
#include "model/Model.h"

#include "support/ModelHarness.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {
QImage artwork(const std::optional<QString>& path) {
    return path ? ImageLoading::image(QUrl::fromLocalFile(*path))
                      .convertToFormat(QImage::Format_RGB32)
                : QImage();
}
}  // namespace

// Export, change the device, import the bundle back with "replace": the configuration and what
// the pad shows are as before the export (the messages are the program test's to check).
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
    ASSERT_TRUE(model->exportSettings(false, bundle)) << model->message().toStdString();
    // The built-in icon travels as ordinary artwork at the key's size, with its licence.
    EXPECT_TRUE(QFile::exists(QDir(bundle).filePath("Lucide-LICENSE.txt")));
    const QByteArray muteIcon =
        SettingsArchive::read(bundle).images.value(SettingsArchive::imagePath(before[0].id, 2));
    EXPECT_EQ(ImageLoading::image(muteIcon).size(), QSize(102, 102));

    model->clearAction(5);
    ASSERT_TRUE(waitUntil([&] { return keyColor(*pad, 5) == QColor(Qt::black); }));

    std::optional<QString> outcome;
    model->importSettings(bundle, {Model::ImportMode::replace, false},
                          [&](bool, const QString& message) { outcome = message; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));

    // The artwork now lives in the device's own folder, as the same picture; key 2 of the first
    // scene keeps the exported icon as its artwork.
    QList<QuorvelScene> after = model->scenes();
    ASSERT_EQ(after.size(), before.size());
    for (qsizetype s = 0; s < before.size(); ++s) {
        for (qsizetype k = 0; k < before[s].keys.size(); ++k) {
            std::optional<QString>& path = after[s].keys[k].imagePath;
            if (const auto& original = before[s].keys[k].imagePath) {
                ASSERT_TRUE(path && path->startsWith(model->imagesFolder()));
                EXPECT_EQ(artwork(path).pixel(50, 50), artwork(original).pixel(5, 5));
                path = original;
            } else if (k == 1 && s == 0) {
                path.reset();
            }
        }
    }
    EXPECT_EQ(after, before);
    // Key 2 shows the icon from its exported picture now rather than drawn afresh.
    EXPECT_TRUE(waitUntil([&] {
        for (int key = 1; key <= 12; ++key) {
            if (key != 2 && pad->keyImage(key) != shown[key - 1]) {
                return false;
            }
        }
        return true;
    }));
}
