#include "PipelineHarness.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void recordEvents(Model& model, QList<int>& events) {
    QObject::connect(&model, &Model::controlEvent, [&events](int control) { events << control; });
}

}  // namespace

TEST(DeviceStore, FirstAttachCreatesTheDeviceFolderWithBothFiles) {
    PipelineHarness harness;
    auto pad = PipelineHarness::displayPad(0x0000002A, QString());
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const QString id = PipelineHarness::idOf(*pad);
    EXPECT_EQ(id, QStringLiteral("mountain-706f72742d3030303030303261"));  // "port-0000002a"
    EXPECT_TRUE(QFileInfo(QDir(harness.root()).filePath(id)).isDir());

    EXPECT_EQ(harness.readFile(id, "appearance.json"),
              QByteArray("{\"brightness\":\"80\",\"deviceName\":\"Mountain DisplayPad \xC2\xB7 USB "
                         "0000002A\",\"followMacBrightness\":\"false\"}"));

    // The default scene, every key named and given a script id by the first save.
    const QuorvelScene& scene = model->scenes().first();
    const QByteArray sceneID = ConfigurationJson::uuidText(scene.id).toLatin1();
    QByteArray expected = "{\"scenes\":[{\"id\":\"" + sceneID + "\",\"keys\":[";
    for (int key = 1; key <= 12; ++key) {
        const Binding& binding = scene.keys[key - 1];
        ASSERT_TRUE(binding.scriptID.has_value());
        expected += (key > 1 ? "," : "") +
                    QStringLiteral(
                        "{\"id\":%1,\"name\":\"LCD key %1\",\"action\":\"None\",\"argument\":\"\","
                        "\"keyCode\":0,\"modifiers\":0,\"scriptID\":\"%2\","
                        "\"scriptName\":\"Scene1Button%1\"}")
                        .arg(key)
                        .arg(*binding.scriptID)
                        .toLatin1();
    }
    expected += "]}],\"activeSceneID\":\"" + sceneID + "\"}";
    EXPECT_EQ(harness.readFile(id, "bindings.json"), expected);
}

TEST(DeviceStore, FirstFrameShowsEachKeysArtworkOnTheDisplayPad) {
    PipelineHarness harness;
    auto pad = PipelineHarness::displayPad();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    configuration.scenes[0].keys[0].imagePath = harness.solidImage("red", Qt::red);
    configuration.scenes[0].keys[11].imagePath = harness.solidImage("blue", QColor(0, 0, 255));
    harness.putScenes(PipelineHarness::idOf(*pad), configuration);

    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->connected());
    EXPECT_TRUE(near(keyColor(*pad, 1), Qt::red));
    EXPECT_TRUE(near(keyColor(*pad, 12), QColor(0, 0, 255)));
    EXPECT_TRUE(near(keyColor(*pad, 2), Qt::black));  // no artwork, no icon, no background
    EXPECT_EQ(pad->brightness(), 80);
    EXPECT_EQ(pad->protocolErrors(), 0);
}

TEST(DeviceStore, FirstFrameShowsButtonsAndBackgroundOnTheMsdTwo) {
    PipelineHarness harness;
    auto pad = PipelineHarness::msdTwo();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    configuration.scenes[0].keys[2].imagePath = harness.solidImage("green", QColor(0, 255, 0));
    configuration.scenes[0].backgroundPath = harness.solidImage("navy", QColor(0, 0, 128));
    harness.putScenes(PipelineHarness::idOf(*pad), configuration);

    ASSERT_NE(harness.attach(pad), nullptr);
    EXPECT_TRUE(near(buttonColor(*pad, 3), QColor(0, 255, 0), 12));
    // Buttons without artwork show their slice of the background, as does the screen between.
    EXPECT_TRUE(near(buttonColor(*pad, 1), QColor(0, 0, 128), 12));
    EXPECT_TRUE(near(pad->picture().pixelColor(2, 2), QColor(0, 0, 128), 12));
    EXPECT_EQ(pad->protocolErrors(), 0);
}

TEST(DeviceStore, UnplugAndPlugAgainKeepsOneModelAndItsFiles) {
    PipelineHarness harness;
    auto pad = PipelineHarness::displayPad();
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const QString id = model->id();
    const QByteArray bindings = harness.readFile(id, "bindings.json");

    harness.hid().unplug(pad);
    ASSERT_TRUE(waitUntil([&] { return !model->connected(); }));
    EXPECT_EQ(model->message(), QStringLiteral("Device disconnected"));
    EXPECT_EQ(harness.store().devices().size(), 1);

    EXPECT_EQ(harness.attach(pad), model);
    EXPECT_EQ(harness.store().devices().size(), 1);
    EXPECT_EQ(harness.readFile(id, "bindings.json"), bindings);
}

TEST(DeviceStore, FirstPadToAttachIsSelectedAndLaterPadsLeaveTheSelection) {
    PipelineHarness harness;
    auto first = PipelineHarness::msdTwo();
    auto second = PipelineHarness::displayPad();
    EXPECT_EQ(harness.store().message(),
              QStringLiteral("Connect an MSD-TWO or Mountain DisplayPad"));
    EXPECT_EQ(harness.store().selected(), nullptr);
    Model* model = harness.attach(first);
    harness.attach(second);
    EXPECT_EQ(harness.store().selected(), model);
    ASSERT_EQ(harness.store().devices().size(), 2);
    EXPECT_EQ(harness.store().devices().first(), model);
}

TEST(DeviceStore, SelectingAnotherDeviceEndsShortcutRecording) {
    PipelineHarness harness;
    Model* first = harness.attach(PipelineHarness::msdTwo());
    Model* second = harness.attach(PipelineHarness::displayPad());
    first->setRecording(3);
    harness.store().select(second->id());
    EXPECT_FALSE(first->recording().has_value());
    EXPECT_EQ(harness.store().selected(), second);
}

TEST(DeviceStore, KeyHeldAcrossReportsFiresOnce) {
    PipelineHarness harness;
    auto pad = PipelineHarness::displayPad();
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    QList<int> events;
    recordEvents(*model, events);

    pad->press(3);
    pad->press(5);  // 3 still down
    pad->release(3);
    pad->release(5);
    pad->press(3);
    ASSERT_TRUE(waitUntil([&] { return events.size() >= 3 && model->heldKeys().size() == 1; }));
    EXPECT_EQ(events, (QList<int>{3, 5, 3}));
}

TEST(DeviceStore, MsdTwoReportsBecomeControlEvents) {
    PipelineHarness harness;
    auto pad = PipelineHarness::msdTwo();
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    QList<int> events;
    recordEvents(*model, events);

    pad->pressScreenButton(4);
    pad->turn(DeviceKind(DeviceKind::msdTwo).dials()[0], 1);
    ASSERT_TRUE(waitUntil([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, (QList<int>{4, 0x51}));
}

TEST(DeviceStore, StuckDisplayPadIsReenumeratedOncePerEpisode) {
    PipelineHarness harness;
    LogCapture log;
    auto pad = PipelineHarness::displayPad(0x01230000);
    pad->setAnswering(false);
    harness.store().start();
    harness.hid().add(pad);
    const QString id = PipelineHarness::idOf(*pad);
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

    // Unplugging ends the episode: the next failure may recover again.
    harness.hid().unplug(pad);
    ASSERT_TRUE(waitUntil([&] { return !harness.store().model(id)->connected(); }));
    harness.hid().plug(pad);
    ASSERT_TRUE(waitUntil([&] { return harness.hid().usb()->reenumerations() == 2; }));
}

TEST(DeviceStore, StuckDisplayPadComesBackAfterReenumeration) {
    PipelineHarness harness;
    auto pad = PipelineHarness::displayPad();
    pad->setAnswering(false);
    harness.store().start();
    harness.hid().add(pad);
    const QString id = PipelineHarness::idOf(*pad);
    ASSERT_TRUE(waitUntil([&] { return harness.store().model(id) != nullptr; }));
    Model* model = harness.store().model(id);
    // Re-enumeration is what un-sticks a real pad.
    QObject::connect(model, &Model::messageChanged, [&] {
        if (model->message() == QStringLiteral("Reinitializing Mountain DisplayPad\u2026")) {
            pad->clearFaults();
        }
    });
    ASSERT_TRUE(
        waitUntil([&] { return model->message() == QStringLiteral("Mountain DisplayPad ready"); }));
    EXPECT_EQ(harness.hid().usb()->reenumerations(), 1);
    EXPECT_TRUE(harness.store().recovery().attempted.isEmpty());
    EXPECT_TRUE(harness.store().recovery().expectedDetach.isEmpty());
}

TEST(DeviceStore, QuitPaintsBlankKeysOnEveryPadAndWaitsForAll) {
    PipelineHarness harness;
    auto displayPad = PipelineHarness::displayPad();
    auto msdTwo = PipelineHarness::msdTwo();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    for (Binding& binding : configuration.scenes[0].keys) {
        binding.imagePath = harness.solidImage("white", Qt::white);
    }
    harness.putScenes(PipelineHarness::idOf(*displayPad), configuration);
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
    }
    for (int key = 1; key <= 6; ++key) {
        EXPECT_TRUE(near(buttonColor(*msdTwo, key), Qt::black, 12)) << "button " << key;
    }
    EXPECT_EQ(displayPad->protocolErrors(), 0);
    EXPECT_EQ(msdTwo->protocolErrors(), 0);

    // No new pad attaches once quitting.
    auto late = PipelineHarness::displayPad(0x01250000, "VDP-2");
    harness.hid().add(late);
    ASSERT_TRUE(waitUntil([&] { return late->isPlugged(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(harness.store().devices().size(), 2);
}

TEST(DeviceStore, QuitFrameFailureIsReportedAndTheQuitGoesOn) {
    PipelineHarness harness;
    auto pad = PipelineHarness::msdTwo();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    const QString background = harness.solidImage("gone", Qt::gray);
    configuration.scenes[0].backgroundPath = background;
    harness.putScenes(PipelineHarness::idOf(*pad), configuration);
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    QFile::remove(background);

    LogCapture log;
    bool done = false;
    harness.store().clearDisplaysForQuit([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(model->message().startsWith(QStringLiteral("Could not clear buttons on quit: ")))
        << model->message().toStdString();
}

TEST(DeviceStore, QuitWithoutConnectedPadsCompletesOnTheNextTurn) {
    PipelineHarness harness;
    harness.store().start();
    bool done = false;
    harness.store().clearDisplaysForQuit([&] { done = true; });
    EXPECT_FALSE(done);
    EXPECT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(harness.store().shuttingDown());
}

TEST(DeviceStore, DiscoveryThatCannotStartReplacesTheConnectHint) {
    PipelineHarness harness;
    LogCapture log;
    harness.hid().failStart(UsbStatus::notPermitted);
    harness.store().start();
    EXPECT_TRUE(waitUntil([&] { return harness.store().message().startsWith("HID access"); }));
    EXPECT_EQ(harness.store().message(), "HID access failed: 0xe00002e2");
    EXPECT_TRUE(
        log.contains("HID access failed: 0xe00002e2 (the simulated HID manager was told "
                     "to fail)"));
}
