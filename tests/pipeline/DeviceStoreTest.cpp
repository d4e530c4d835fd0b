#include "support/ModelHarness.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST(DeviceStore, FirstAttachCreatesTheDeviceFolderWithBothFilesKeptOverAReplug) {
    ModelHarness harness;
    auto pad = ModelHarness::displayPad(0x0000002A, QString());
    Model* model = harness.attach(pad);
    ASSERT_NE(model, nullptr);
    const QString id = ModelHarness::idOf(*pad);
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
        ASSERT_TRUE(scene.keys[key - 1].scriptID.has_value());
        expected +=
            QStringLiteral(
                "%3{\"id\":%1,\"name\":\"LCD key %1\",\"action\":\"None\","
                "\"argument\":\"\",\"keyCode\":0,\"modifiers\":0,\"scriptID\":"
                "\"%2\",\"scriptName\":\"Scene1Button%1\"}")
                .arg(key)
                .arg(*scene.keys[key - 1].scriptID, key > 1 ? QStringLiteral(",") : QString())
                .toLatin1();
    }
    expected += "]}],\"activeSceneID\":\"" + sceneID + "\"}";
    EXPECT_EQ(harness.readFile(id, "bindings.json"), expected);

    // Unplugged and plugged in again: one model, its files unchanged.
    harness.hid().unplug(pad);
    ASSERT_TRUE(waitUntil([&] { return !model->connected(); }));
    EXPECT_EQ(model->message(), QStringLiteral("Device disconnected"));
    EXPECT_EQ(harness.attach(pad), model);
    EXPECT_EQ(harness.store().devices().size(), 1);
    EXPECT_EQ(harness.readFile(id, "bindings.json"), expected);
}

TEST(DeviceStore, FirstFrameShowsEachKeysArtwork) {
    ModelHarness harness;
    auto displayPad = ModelHarness::displayPad();
    auto msdTwo = ModelHarness::msdTwo();
    SavedConfiguration pad = DefaultConfiguration::configuration(DeviceKind::mountain);
    pad.scenes[0].keys[0].imagePath = harness.solidImage("red", Qt::red);
    pad.scenes[0].keys[11].imagePath = harness.solidImage("blue", QColor(0, 0, 255));
    harness.putScenes(ModelHarness::idOf(*displayPad), pad);
    SavedConfiguration msd = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    msd.scenes[0].keys[2].imagePath = harness.solidImage("green", QColor(0, 255, 0));
    msd.scenes[0].backgroundPath = harness.solidImage("navy", QColor(0, 0, 128));
    harness.putScenes(ModelHarness::idOf(*msdTwo), msd);

    ASSERT_NE(harness.attach(displayPad), nullptr);
    ASSERT_NE(harness.attach(msdTwo), nullptr);
    EXPECT_TRUE(near(keyColor(*displayPad, 1), Qt::red));
    EXPECT_TRUE(near(keyColor(*displayPad, 12), QColor(0, 0, 255)));
    EXPECT_TRUE(near(keyColor(*displayPad, 2), Qt::black));  // no artwork, icon or background
    EXPECT_EQ(displayPad->brightness(), 80);
    EXPECT_TRUE(near(buttonColor(*msdTwo, 3), QColor(0, 255, 0), 12));
    // Buttons without artwork show their slice of the background, as does the screen between.
    EXPECT_TRUE(near(buttonColor(*msdTwo, 1), QColor(0, 0, 128), 12));
    EXPECT_TRUE(near(msdTwo->picture().pixelColor(2, 2), QColor(0, 0, 128), 12));
    EXPECT_EQ(displayPad->protocolErrors() + msdTwo->protocolErrors(), 0);
}

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

// The first pad to attach is selected; selecting another device ends shortcut recording; each
// pad's reports become its model's control events, a held key firing once.
TEST(DeviceStore, PadsAreSelectedAndTheirReportsBecomeControlEvents) {
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

    QList<int> events;
    for (Model* model : {first, second}) {
        QObject::connect(model, &Model::controlEvent,
                         [&events](int control) { events << control; });
    }
    msdTwo->pressScreenButton(4);
    msdTwo->turn(DeviceKind(DeviceKind::msdTwo).dials()[0], 1);
    ASSERT_TRUE(waitUntil([&] { return events.size() == 2; }));
    displayPad->press(3);
    displayPad->press(5);  // 3 still down
    displayPad->release(3);
    displayPad->release(5);
    displayPad->press(3);
    ASSERT_TRUE(waitUntil([&] { return events.size() >= 5 && second->heldKeys().size() == 1; }));
    EXPECT_EQ(events, (QList<int>{4, 0x51, 3, 5, 3}));
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

TEST(DeviceStore, QuitFrameFailureIsReportedAndTheQuitGoesOn) {
    ModelHarness harness;
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
