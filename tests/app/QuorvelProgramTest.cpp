#include "app/QuorvelApplication.h"
#include "app/VirtualPadService.h"
#include "app/VirtualPads.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/SettingsArchive.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/Model.h"
#include "support/ProgramUnderTest.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <csignal>
#include <vector>

#include <gtest/gtest.h>

namespace {

const QString displayPadID = virtualDisplayPadID();
const QString msdTwoID = virtualMsdTwoID();

QColor keyColor(const QImage& picture, int key) {
    return ProgramUnderTest::keyPixel(picture, key);
}

class QuorvelProgram : public ::testing::Test, public ProgramUnderTest {
protected:
    void TearDown() override {
        second.kill();
        second.waitForFinished();
    }
    // A bindings file for the virtual DisplayPad: one default scene, changed by `edit`.
    void writeDisplayPadScene(const std::function<void(QuorvelScene&)>& edit) {
        SavedConfiguration configuration;
        configuration.scenes = {DefaultConfiguration::scene(DeviceKind::mountain)};
        edit(configuration.scenes[0]);
        configuration.activeSceneID = configuration.scenes[0].id;
        writeScenes(displayPadID, configuration);
    }
    std::pair<int, QString> run(const QStringList& arguments) {
        const Outcome done = ProgramUnderTest::run(QUORVEL_EXECUTABLE, arguments);
        return {done.exitCode, done.out + done.err};
    }
    int displayPadScenes() const {
        return int(ConfigurationJson::decodeConfiguration(
                       readFile(settings(displayPadID, "bindings.json")))
                       .scenes.size());
    }
    QList<VirtualPadEntry> listPads() {
        return qdbus_cast<QList<VirtualPadEntry>>(callPads("ListPads").arguments().value(0));
    }
    // Starts a second copy, which must leave at once with a word and code 0.
    void secondCopyLeaves(const QString& busAddress) {
        start(second, {}, busAddress);
        ASSERT_TRUE(finished(second));
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(output(second).contains("already running"));
        EXPECT_EQ(program.state(), QProcess::Running);
    }

    QProcess second;
};

}  // namespace

TEST_F(QuorvelProgram, DrivesThePadsAndSettingsCommandsAndQuitsCleanlyOnSigterm) {
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(path("key-one.png")));
    writeDisplayPadScene(
        [&](QuorvelScene& scene) { scene.keys[0].imagePath = path("key-one.png"); });
    start(program, {"--save-pictures-at-quit", path("final"), "--calibrate"});
    ASSERT_TRUE(ready()) << output(program);
    const QList<VirtualPadEntry> pads = listPads();
    ASSERT_EQ(pads.size(), 2);
    EXPECT_EQ(QStringList({pads[0].name, pads[0].kind, pads[0].deviceID, pads[1].name, pads[1].kind,
                           pads[1].deviceID}),
              QStringList({"displaypad", "mountain", displayPadID, "msd-two", "msdTwo", msdTwoID}));
    EXPECT_TRUE(pads[0].plugged && pads[1].plugged);

    // The configured artwork on key 1 and black keys elsewhere.
    QImage shown;
    ASSERT_TRUE(waitUntil([&] {
        shown = picture("displaypad");
        return !shown.isNull() && keyColor(shown, 1) == QColor(Qt::red);
    })) << output(program);
    EXPECT_EQ(shown.size(), QSize(612, 204));
    for (int key = 2; key <= 12; ++key) {
        EXPECT_EQ(keyColor(shown, key), QColor(Qt::black)) << "key " << key;
    }
    // --calibrate: red, green, blue and yellow bars inside the top, right, bottom and left edge of
    // every MSD-TWO screen button.
    const std::pair<QPoint, QColor> bars[] = {
        {{32, 4}, Qt::red}, {{59, 32}, Qt::green}, {{32, 59}, Qt::blue}, {{4, 32}, Qt::yellow}};
    EXPECT_TRUE(waitUntil([&] {
        const QImage screen = picture("msd-two");
        bool all = screen.size() == QSize(320, 240);
        for (int key = 1; key <= VirtualMsdTwo::buttonCount; ++key) {
            for (const auto& [at, color] : bars) {
                all = all && near(screen.pixelColor(VirtualMsdTwo::buttonRect(key).topLeft() + at),
                                  color, 60);
            }
        }
        return all;
    }));
    secondCopyLeaves(bus.address());

    const QString error = "org.quorvel.Zodovuvur.VirtualPads.Error.";
    const std::pair<std::pair<QString, QVariantList>, QString> calls[] = {
        {{"PressKey", {"displaypad", 1}}, ""},
        {{"ReleaseKey", {"displaypad", 1}}, ""},
        {{"TurnDial", {"msd-two", "large", -2}}, ""},
        {{"PressKey", {"displaypad", 13}}, error + "InvalidArgument"},
        {{"PressKey", {"mouse", 1}}, error + "UnknownPad"},
        {{"PressDial", {"msd-two", "left"}}, ""},
        {{"PressRoundButton", {"msd-two", "middle"}}, ""},
        {{"SavePicture", {"msd-two", path("missing/msd.png")}}, error + "WriteFailed"},
        // Unplugged, the pad takes nothing; plugged in again it is driven again.
        {{"Unplug", {"displaypad"}}, ""},
        {{"Unplug", {"displaypad"}}, ""},
        {{"PressKey", {"displaypad", 1}}, error + "Unplugged"},
        {{"Plug", {"displaypad"}}, ""},
        {{"Plug", {"displaypad"}}, ""},
        {{"PressButton", {"displaypad", 2}}, ""}};
    for (const auto& [method, expected] : calls) {
        EXPECT_EQ(callPads(method.first, method.second).errorName(), expected) << method.first;
        if (method.first.endsWith("lug")) {
            EXPECT_EQ(listPads().value(0).plugged, method.first == "Plug");
        }
    }

    // `quorvel --export` and `--import` from a shell do their work in the running program.
    const QString bundle = path("pad"), device = displayPadID;
    const std::tuple<QStringList, int, QString, int> commands[] = {
        {{"--export", bundle, "--device", device}, 0, "Device settings exported with artwork", 1},
        {{"--import", bundle + ".quorvel", "--device", device, "--mode", "add"},
         0,
         "1 scenes added",
         2},
        {{"--import", bundle + ".quorvel", "--device", device},
         2,
         "--import needs --mode add or --mode replace",
         2},
        {{"--import", bundle + ".quorvel", "--device", "../../etc", "--mode", "add"},
         1,
         "is not a device id",
         2},
        {{"--import", path("missing.quorvel"), "--device", device, "--mode", "add"},
         1,
         "no such file",
         2}};
    for (const auto& [arguments, exitCode, expected, scenes] : commands) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const auto [code, out] = run(arguments);
        EXPECT_EQ(code, exitCode);
        EXPECT_TRUE(out.contains(expected)) << out;
        EXPECT_EQ(displayPadScenes(), scenes);
    }
    EXPECT_TRUE(waitUntil([&] { return output(program).contains(": 1 scenes added"); }))
        << output(program);
    // A bundle whose keys run commands needs --allow-scripts, at the running program and on the
    // files once it has quit alike.
    SettingsArchive archive = SettingsArchive::read(bundle + ".quorvel");
    archive.scenes[0].keys[0].action = "Shell script";
    archive.scenes[0].keys[0].argument = "touch " + path("ran");
    archive.write(path("script.quorvel"));
    const QStringList import = {"--import", path("script.quorvel"), "--device", device, "--mode",
                                "replace"};
    const auto importsScripts = [&] {
        auto [code, out] = run(import);
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(out.contains(Model::commandsRefusedMessage(1) + " (--allow-scripts)")) << out;
        EXPECT_EQ(displayPadScenes(), 2);
        std::tie(code, out) = run(import + QStringList{"--allow-scripts"});
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(out.contains("Device settings replaced")) << out;
        EXPECT_EQ(displayPadScenes(), 1);
        EXPECT_EQ(run({"--import", bundle + ".quorvel", "--device", device, "--mode", "add"}).first,
                  0);
    };
    importsScripts();

    const QString log = quitWith(SIGTERM);
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit: quit frame shown on 2 pads, 0 failed"));
    // The quit frame cleared the artwork.
    const QImage last(path("final/displaypad.png"));
    ASSERT_FALSE(last.isNull()) << log;
    for (int key = 1; key <= 12; ++key) {
        EXPECT_EQ(keyColor(last, key), QColor(Qt::black)) << "key " << key;
    }
    EXPECT_EQ(QImage(path("final/msd-two.png")).size(), QSize(320, 240));
    for (const QString& id : {displayPadID, msdTwoID}) {
        EXPECT_TRUE(QFile::exists(settings(id, "bindings.json")) &&
                    QFile::exists(settings(id, "appearance.json")))
            << id;
    }
    importsScripts();
}

TEST_F(QuorvelProgram, RunsWithoutASessionBusAndQuitsOnSigint) {
    const QString noBus = "unix:path=" + path("no-bus-here");
    start(program, {}, noBus);
    // Without a bus there is only the log to watch: the pads come up and get their settings.
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(settings(msdTwoID, "bindings.json")); },
                          std::chrono::seconds(30)))
        << output(program);
    secondCopyLeaves(noBus);  // the lock file keeps it out all the same
    const QString log = quitWith(SIGINT);
    EXPECT_TRUE(log.contains("No D-Bus session bus") && log.contains("Quorvel Zodovuvur quit:"))
        << log;
}

// A second start, whatever it is given, only hands over: it never starts its own pads.
TEST_F(QuorvelProgram, SecondStartHandsOverToTheRunningCopyOverTheApplicationInterface) {
    start(program);
    ASSERT_TRUE(ready()) << output(program);
    ASSERT_EQ(run({"--export", path("pad"), "--device", displayPadID}).first, 0);
    const QString needsDisplay = "Could not import settings from " + path("pad.quorvel") +
                                 ": Choosing the destination device needs a display";
    const std::pair<QStringList, QString> rows[] = {
        {{"--background"}, ""},
        {{}, "Quorvel Zodovuvur configuration requested"},
        {{"pad.quorvel"}, needsDisplay},
        {{"https://example.com/pad.quorvel"}, ""}};
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        second.setWorkingDirectory(home.path());
        start(second, arguments);
        ASSERT_TRUE(finished(second));
        const QString said = output(second);
        EXPECT_EQ(second.exitCode(), arguments.join(' ').contains("https") ? 2 : 0) << said;
        EXPECT_FALSE(said.contains("Quorvel Zodovuvur running")) << said;
        if (!expected.isEmpty()) {
            EXPECT_TRUE(waitUntil([&] { return output(program).contains(expected); }))
                << output(program);
        }
    }
    EXPECT_EQ(output(program).count("configuration requested"), 2) << output(program);
    QDBusMessage action =
        QDBusMessage::createMethodCall(QuorvelApplication::serviceName, "/org/quorvel/Zodovuvur",
                                       "org.freedesktop.Application", "ActivateAction");
    EXPECT_EQ(client->call(action << "fly" << QVariantList() << QVariantMap()).errorName(),
              "org.freedesktop.DBus.Error.InvalidArgs");
    action.setArguments({"quit", QVariantList(), QVariantMap()});
    EXPECT_EQ(client->call(action).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(finished(program));
    EXPECT_TRUE(output(program).contains("quit frame shown on 2 pads, 0 failed"));
}

// A quit leaves nothing a key started behind: the running script is ended with its process
// group (this one ignores SIGTERM, so it takes the kill after the grace), the action queued behind
// it never runs, and the program does not wait for the script's 60-second limit. SIGHUP quits
// the same way; a second signal exits at once and still takes the script along. The rows also
// start on a live X display and on one that cannot be reached, where the program goes headless.
TEST_F(QuorvelProgram, QuitEndsRunningScriptsAndDropsQueuedActions) {
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
    ASSERT_TRUE(waitUntil([&] { return xvfb.canReadLine(); })) << xvfb.errorString();
    const QString liveDisplay = ":" + QString::fromLatin1(xvfb.readLine()).trimmed();
    const QString pidFile = path("script.pid"), marker = path("queued-action-ran");
    writeDisplayPadScene([&](QuorvelScene& scene) {
        scene.keys[0].action = scene.keys[1].action = "Shell script";
        scene.keys[0].argument =
            QString("trap '' TERM; echo $$ > '%1'; exec sleep 600").arg(pidFile);
        scene.keys[1].argument = QString("touch '%1'").arg(marker);
    });
    const struct {
        std::vector<int> signals;
        int exitCode;
        QString display;  // empty: none
        bool fallsBack;
    } rows[] = {{{SIGTERM}, 0, liveDisplay, false},
                {{SIGHUP}, 0, ":97", true},
                {{SIGTERM, SIGINT}, 128 + SIGINT, "", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.display.toStdString() + " signal " + std::to_string(row.signals.back()));
        QFile::remove(pidFile);
        start(program, {}, {}, [&](QProcessEnvironment& env) {
            env.remove("QT_QPA_PLATFORM");
            if (!row.display.isEmpty()) {
                env.insert("DISPLAY", row.display);
                env.insert("WAYLAND_DISPLAY", path("no-wayland"));
            }
        });
        ASSERT_TRUE(ready()) << output(program);
        for (int key : {1, 2}) {
            callPads("PressKey", {"displaypad", key});
            callPads("ReleaseKey", {"displaypad", key});
            ASSERT_TRUE(waitUntil([&] { return readFile(pidFile).toLongLong() > 0; }));
        }
        const qint64 script = readFile(pidFile).trimmed().toLongLong();
        // Signals sent together may arrive in either order: the second waits for the first quit.
        if (row.signals.size() > 1) {
            ::kill(static_cast<pid_t>(program.processId()), row.signals.front());
            ASSERT_TRUE(waitUntil([&] { return output(program).contains("quitting"); }))
                << output(program);
        }
        const QString log = quitWith(row.signals.back(), row.exitCode);
        EXPECT_EQ(log.contains("quit frame shown on 2 pads"), row.exitCode == 0) << log;
        EXPECT_EQ(log.count("No display could be reached"), row.fallsBack ? 1 : 0) << log;
        EXPECT_TRUE(waitUntil([&] { return processGone(script); })) << "script left running";
        EXPECT_FALSE(QFile::exists(marker));
    }
    xvfb.kill();
    xvfb.waitForFinished();
}

// On this machine's real HID stack (no pads attached in test environments).
TEST_F(QuorvelProgram, AnswersListingAndBadOptionsAndExits) {
    const std::tuple<QString, int, QString> rows[] = {
        {"--list-devices", 0, "is attached"},
        {"--list-device", 2, "Unknown option 'list-device'"},
        {"--virtual-only", 2, "--virtual-only needs --simulate"}};
    for (const auto& [option, exitCode, expected] : rows) {
        QProcess process;
        process.start(QUORVEL_EXECUTABLE, {option});
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString out = output(process);
        EXPECT_EQ(process.exitCode(), exitCode) << out;
        EXPECT_TRUE(out.contains(expected) || (exitCode == 0 && out.contains(", id "))) << out;
    }
}
