#include "support/ModelHarness.h"

#include "config/DefaultConfiguration.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

TEST(DeviceStore, QuitPaintsBlankKeysOnEveryPadAndWaitsForAll) {
    ModelHarness harness;
    auto displayPad = ModelHarness::displayPad();
    auto msdTwo = ModelHarness::msdTwo();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    for (Binding& binding : configuration.scenes[0].keys) {
        binding.imagePath = harness.solidImage("white", Qt::white);
    }
    harness.putScenes(ModelHarness::idOf(*displayPad), configuration);
    Model* padModel = harness.attach(displayPad);
    harness.attach(msdTwo);
    ASSERT_TRUE(near(keyColor(*displayPad, 7), Qt::white));
    // A slow pad: the quit must wait for its answers.
    displayPad->setReplyDelay(std::chrono::milliseconds(30));

    bool done = false;
    harness.store().clearDisplaysForQuit([&] { done = true; });
    EXPECT_FALSE(done);
    EXPECT_TRUE(padModel->shuttingDown());
    ASSERT_TRUE(waitUntil([&] { return done; }));
    for (int key = 1; key <= 12; ++key) {
        EXPECT_TRUE(near(keyColor(*displayPad, key), Qt::black)) << "key " << key;
        EXPECT_TRUE(key > 6 || near(buttonColor(*msdTwo, key), Qt::black, 12)) << "button " << key;
    }
    EXPECT_EQ(displayPad->protocolErrors() + msdTwo->protocolErrors(), 0);

    // No new pad attaches once quitting.
    auto late = ModelHarness::displayPad(0x01250000, "VDP-2");
    harness.hid().add(late);
    ASSERT_TRUE(waitUntil([&] { return late->isPlugged(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(harness.store().devices().size(), 2);
}

// The first pad to attach is selected; selecting another device ends shortcut recording. Their
// reports become control events in tests/app (VirtualPads).
TEST(DeviceStore, FirstPadIsSelectedAndSelectingAnotherEndsRecording) {
    ModelHarness harness;
    EXPECT_EQ(harness.store().message(),
              QStringLiteral("Connect an MSD-TWO or Mountain DisplayPad"));
    EXPECT_EQ(harness.store().selected(), nullptr);
    auto msdTwo = ModelHarness::msdTwo();
    auto displayPad = ModelHarness::displayPad();
    Model* first = harness.attach(msdTwo);
    Model* second = harness.attach(displayPad);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(harness.store().selected(), first);
    EXPECT_EQ(harness.store().devices(), (QList<Model*>{first, second}));
    first->setRecording(3);
    harness.store().select(second->id());
    EXPECT_FALSE(first->recording().has_value());
    EXPECT_EQ(harness.store().selected(), second);
}

TEST(DeviceStore, StuckDisplayPadIsReenumeratedOncePerEpisode) {
    ModelHarness harness;
    LogCapture log;
    auto pad = ModelHarness::displayPad(0x01230000);
    pad->setAnswering(false);
    harness.store().start();
    harness.hid().add(pad);
    const QString id = ModelHarness::idOf(*pad);
    const auto failures = [&] {
        return log.lines()
            .filter(QStringLiteral("Mountain DisplayPad \u00B7 USB 01230000: DisplayPad did not "
                                   "acknowledge"))
            .size();
    };
    // The first failure re-enumerates; the pad comes back as a new attach and fails again,
    // which is left alone.
    ASSERT_TRUE(waitUntil([&] { return failures() >= 2; }));
    EXPECT_EQ(harness.hid().usb()->reenumerations(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Mountain USB recovery requested at 01230000")));
    EXPECT_EQ(harness.store().devices().size(), 1);
    EXPECT_TRUE(harness.store().recovery().attempted.contains(id));
    EXPECT_FALSE(harness.store().model(id)->connection()->initialized);

    // Unplugging ends the episode: the next failure may recover again, and this time the
    // re-enumeration is what un-sticks the pad, as it does a real one.
    harness.hid().unplug(pad);
    ASSERT_TRUE(waitUntil([&] { return !harness.store().model(id)->connected(); }));
    Model* model = harness.store().model(id);
    EXPECT_EQ(model->message(), QStringLiteral("Device disconnected"));
    QObject::connect(model, &Model::messageChanged, [&] {
        if (model->message() == QStringLiteral("Reinitializing Mountain DisplayPad\u2026")) {
            pad->clearFaults();
        }
    });
    harness.hid().plug(pad);
    ASSERT_TRUE(
        waitUntil([&] { return model->message() == QStringLiteral("Mountain DisplayPad ready"); }));
    EXPECT_EQ(harness.hid().usb()->reenumerations(), 2);
    EXPECT_TRUE(harness.store().recovery().attempted.isEmpty());
    EXPECT_TRUE(harness.store().recovery().expectedDetach.isEmpty());
}

// An MSD-TWO whose quit frame cannot be drawn and a DisplayPad that has stopped answering: the
// quit ends once both have failed, each saying so.
TEST(DeviceStore, QuitFrameFailureIsReportedAndTheQuitGoesOn) {
    ModelHarness harness;
    auto silent = ModelHarness::displayPad();
    SavedConfiguration white = DefaultConfiguration::configuration(DeviceKind::mountain);
    white.scenes[0].keys[0].imagePath = harness.solidImage("white", Qt::white);
    harness.putScenes(ModelHarness::idOf(*silent), white);
    Model* silentModel = harness.attach(silent);
    silent->setAnswering(false);
    auto pad = ModelHarness::msdTwo();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    const QString background = harness.solidImage("gone", Qt::gray);
    configuration.scenes[0].backgroundPath = background;
    harness.putScenes(ModelHarness::idOf(*pad), configuration);
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    QFile::remove(background);
    bool done = false;
    harness.store().clearDisplaysForQuit([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(model->message().startsWith(QStringLiteral("Could not clear buttons on quit: ")))
        << model->message().toStdString();
    EXPECT_TRUE(silentModel->message().startsWith(QStringLiteral("Could not clear")))
        << silentModel->message().toStdString();
}

// Discovery that cannot start replaces the connect hint; a quit without pads completes on the
// next turn.
TEST(DeviceStore, DiscoveryThatCannotStartIsShownAndAQuitWithoutPadsCompletes) {
    ModelHarness harness;
    LogCapture log;
    harness.hid().failStart(UsbStatus::notPermitted);
    harness.store().start();
    EXPECT_TRUE(waitUntil([&] { return harness.store().message().startsWith("HID access"); }));
    EXPECT_EQ(harness.store().message(), "HID access failed: 0xe00002e2");
    EXPECT_TRUE(
        log.contains("HID access failed: 0xe00002e2 (the simulated HID manager was told to fail)"));
    bool done = false;
    harness.store().clearDisplaysForQuit([&] { done = true; });
    EXPECT_FALSE(done);
    EXPECT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(harness.store().shuttingDown());
}
