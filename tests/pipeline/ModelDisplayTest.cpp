#include "support/ModelHarness.h"

#include "config/DefaultConfiguration.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include "actions/MediaPlayback.h"
#include "artwork/MSDArtwork.h"
#include "core/ActionError.h"

#include <gtest/gtest.h>

namespace {

// Counts the frames the model handed to its session.
std::shared_ptr<int> countUpdates(Model& model) {
    auto count = std::make_shared<int>(0);
    QObject::connect(&model, &Model::displayUpdated, [count] { ++*count; });
    return count;
}

void overwriteImage(const QString& path, const QColor& color, const QDateTime& modified) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(path, "PNG"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

int litPixels(const QImage& image) {
    int lit = 0;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        lit += qGray(image.pixel(i % image.width(), i / image.width())) > 128 ? 1 : 0;
    }
    return lit;
}

}  // namespace

TEST(Model, SceneChangesWithinTheRefreshDelayGiveOneUpdateShowingTheLastState) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad();
    harness.putScenes(ModelHarness::idOf(*pad),
                      coloredScenes(harness, DeviceKind::mountain,
                                    {Qt::red, Qt::green, QColor(0, 0, 255), Qt::yellow}));
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    ASSERT_TRUE(near(keyColor(*pad, 1), Qt::red));
    const auto updates = countUpdates(*model);

    model->changeScene(1);
    model->changeScene(1);
    model->changeScene(1);
    EXPECT_EQ(*updates, 0);  // nothing is drawn before the delay
    ASSERT_TRUE(waitUntil([&] { return near(keyColor(*pad, 1), Qt::yellow); }));
    EXPECT_EQ(*updates, 1);

    // A later change is a new burst with an update of its own; any stray update of the first
    // burst would have come before it.
    model->changeScene(1);
    ASSERT_TRUE(waitUntil([&] { return near(keyColor(*pad, 1), Qt::red); }));
    EXPECT_EQ(*updates, 2);
}

TEST(Model, ReplacedArtworkFileRendersThatKeyAgainAndTheOthersFromTheCache) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    const QString path = harness.solidImage("key4", Qt::red);
    configuration.scenes[0].keys[3].imagePath = path;
    harness.putScenes(ModelHarness::idOf(*pad), configuration);
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    ASSERT_TRUE(near(keyColor(*pad, 4), Qt::red));
    const int cached = static_cast<int>(model->renderedKeys().size());
    EXPECT_EQ(cached, 12);
    const int otherUploads = pad->imagesReceived(5);

    overwriteImage(path, Qt::green, QDateTime::currentDateTimeUtc().addSecs(5));
    model->refreshDisplay();
    ASSERT_TRUE(waitUntil([&] { return near(keyColor(*pad, 4), Qt::green); }));
    EXPECT_EQ(model->renderedKeys().size(), cached + 1);  // one key drawn anew
    EXPECT_EQ(pad->imagesReceived(5), otherUploads);      // and only that key sent
}

// A runtime icon wins over the artwork file, though not in the editor's preview of the configured
// artwork; a badge without a value is not drawn, a shown one is.
TEST(Model, RuntimeIconWinsOverTheArtworkFileAndValuelessBadgesAreNotDrawn) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    configuration.scenes[0].keys[0].imagePath = harness.solidImage("file", Qt::red);
    harness.putScenes(ModelHarness::idOf(*pad), configuration);
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const Binding binding = model->activeScene().keys[0];
    ASSERT_TRUE(binding.scriptID.has_value());
    QImage green(30, 30, QImage::Format_RGB32);
    green.fill(Qt::green);
    model->setRuntimeIcon(*binding.scriptID, green);
    BadgeStyle valueless(std::nullopt, true, QStringLiteral("#0000FF"), QStringLiteral("top right"),
                         true);
    model->setRuntimeBadges(*binding.scriptID, {{valueless.position, valueless}});
    EXPECT_TRUE(waitUntil([&] { return near(keyColor(*pad, 1), Qt::green); }));
    EXPECT_EQ(model->configuredKeyPreview(binding)->pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(model->keyPreview(binding)->size(), green.size());  // not redrawn with a badge
    BadgeStyle shown(7, true, QStringLiteral("#0000FF"), QStringLiteral("top left"), true);
    model->setRuntimeBadges(*binding.scriptID, {{shown.position, shown}});
    EXPECT_NE(model->keyPreview(binding)->size(), green.size());
    // Clearing both brings the configured artwork back.
    model->setRuntimeIcon(*binding.scriptID, QImage());
    model->setRuntimeBadges(*binding.scriptID, {});
    EXPECT_TRUE(waitUntil([&] { return near(keyColor(*pad, 1), Qt::red); }));
}

// Without a pad nothing is drawn or sent, brightness changes are refused with a hint, and the
// quit frame is still ready: blank keys over a black background.
TEST(Model, WithoutAPadNothingIsDrawnAndBrightnessIsRefused) {
    ModelHarness harness;
    const ModelEnvironment environment{harness.root(), nullptr, nullptr, quickSessionTiming(),
                                       nullptr};
    Model model(QStringLiteral("mountain-1"), DeviceKind::mountain, "Pad", environment);
    const auto updates = countUpdates(model);
    model.refreshDisplay();
    EXPECT_FALSE(model.display());
    QCoreApplication::processEvents();
    EXPECT_EQ(*updates, 0);
    model.changePadBrightness(10);
    EXPECT_EQ(model.message(), "Connect the device to change its display brightness");
    EXPECT_EQ(model.displayBrightness(), 80);
    EXPECT_EQ(actionErrorOf([&] { model.togglePadFollowMac(); }),
              "Connect the device to use adaptive brightness");
    EXPECT_FALSE(model.padFollowMac());

    Model msd(QStringLiteral("msdTwo-1"), DeviceKind::msdTwo, "Pad", environment);
    const DisplayFrame blank = msd.shutdownFrame();
    ASSERT_EQ(blank.images.size(), 6);
    EXPECT_EQ(blank.background, QByteArray(MSDArtwork::backgroundByteCount, '\0'));
    EXPECT_TRUE(near(QImage::fromData(blank.images[0]).pixelColor(32, 32), Qt::black, 4));
}

// Following tracks the computer's display, on a timer, until that cannot be read; a manual
// change is clamped, ends following and is saved.
TEST(Model, BrightnessFollowsTheComputerOrIsSetByHand) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad();
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const auto saved = [&](const char* key, const char* value) {
        return harness.readFile(model->id(), "appearance.json")
            .contains(QByteArray("\"") + key + "\":\"" + value + '"');
    };
    harness.mac().set(0.555);
    model->togglePadFollowMac();
    EXPECT_TRUE(model->padFollowMac());
    EXPECT_EQ(model->displayBrightness(), 56);
    EXPECT_TRUE(saved("followMacBrightness", "true"));
    ASSERT_TRUE(waitUntil([&] { return pad->brightness() == 56; }));
    harness.mac().set(0.125);
    EXPECT_TRUE(waitUntil([&] { return pad->brightness() == 13; }));

    harness.mac().set(std::nullopt);
    model->syncPadBrightness();
    EXPECT_FALSE(model->padFollowMac());
    EXPECT_EQ(model->message(),
              QStringLiteral("Adaptive pad brightness stopped: This Mac display does not expose "
                             "native brightness control"));
    EXPECT_TRUE(saved("followMacBrightness", "false"));
    // Nor does it start again while the display cannot be read.
    EXPECT_THROW(model->togglePadFollowMac(), ActionError);
    EXPECT_FALSE(model->padFollowMac());

    harness.mac().set(0.5);
    model->togglePadFollowMac();
    ASSERT_TRUE(model->padFollowMac());
    for (int step : {-100, 95, 10}) {
        model->changePadBrightness(step);
    }
    EXPECT_EQ(model->displayBrightness(), 100);
    EXPECT_FALSE(model->padFollowMac());
    ASSERT_TRUE(waitUntil([&] { return pad->brightness() == 100 && saved("brightness", "100"); }));
    EXPECT_TRUE(saved("followMacBrightness", "false"));

    // A session failure after the pad was ready shows its message; no recovery is attempted.
    pad->rejectReports(UsbStatus::ioError);
    model->changePadBrightness(10);
    ASSERT_TRUE(waitUntil([&] { return model->message().contains(QStringLiteral("0xe00002ca")); }))
        << model->message().toStdString();
    EXPECT_EQ(harness.hid().usb()->reenumerations(), 0);
    EXPECT_TRUE(model->connected());
}

TEST(Model, PlayPauseKeyShowsItsIconAndIsDrawnAgainWhenPlaybackChanges) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    configuration.scenes[0].keys[0].action = QStringLiteral("Play/pause");
    harness.putScenes(ModelHarness::idOf(*pad), configuration);
    MediaPlayback::shared().update(false);
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const QImage playing = pad->keyImage(1);
    // The action's icon is drawn in white over the black key.
    EXPECT_GT(litPixels(playing), 100);
    EXPECT_EQ(litPixels(pad->keyImage(2)), 0);
    const QImage untouched = pad->keyImage(2);

    MediaPlayback::shared().update(true);
    EXPECT_TRUE(waitUntil([&] { return pad->keyImage(1) != playing; }));
    EXPECT_EQ(pad->keyImage(2), untouched);
    MediaPlayback::shared().update(false);
    EXPECT_TRUE(waitUntil([&] { return pad->keyImage(1) == playing; }));
}
