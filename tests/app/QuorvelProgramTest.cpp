#include "app/QuorvelApplication.h"
#include "app/VirtualPadService.h"
#include "config/QuorvelScene.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "support/TestSupport.h"

#include "AppTestSupport.h"
#include "DbusDaemon.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

// The built program, driven from outside: a private session bus, its folders in a temporary
// home, the virtual pads only (never a real pad), and nothing but D-Bus and signals to talk to it.
namespace {
class QuorvelProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString();
        ASSERT_TRUE(home.isValid());
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("black-box")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override {
        for (QProcess* process : {&program, &second}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("black-box"));
    }

    QString path(const QString& relative) const { return QDir(home.path()).filePath(relative); }
    QString settingsRoot() const { return path(QStringLiteral("data/Quorvel/Devices")); }

    QProcessEnvironment environment(const QString& busAddress) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    // Headless unless `display` sets up the display variables.
    void start(QProcess& process, const QString& busAddress, QStringList extra = {},
               const std::function<void(QProcessEnvironment&)>& display = {}) {
        QProcessEnvironment env = environment(busAddress);
        extra << QStringLiteral("--simulate") << QStringLiteral("--virtual-only");
        if (display) {
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            display(env);
        } else {
            extra << QStringLiteral("--headless");
        }
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUORVEL_EXECUTABLE), extra);
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(QuorvelApplication::serviceName),
            QString::fromLatin1(VirtualPadService::objectPath),
            QString::fromLatin1(VirtualPadService::interfaceName), method);
        message.setArguments(arguments);
        return client->call(message, QDBus::Block, 10000);
    }
    QList<VirtualPadEntry> listPads() {
        const QDBusMessage reply = call(QStringLiteral("ListPads"));
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return qdbus_cast<QList<VirtualPadEntry>>(reply.arguments().value(0));
    }
    QImage picture(const QString& pad) {
        const QString file = path(pad + QStringLiteral("-now.png"));
        const QDBusMessage reply = call(QStringLiteral("SavePicture"), {pad, file});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return QImage(file);
    }
    bool serviceUp() {
        return client->interface()->isServiceRegistered(
                   QString::fromLatin1(QuorvelApplication::serviceName)) &&
               call(QStringLiteral("ListPads")).type() == QDBusMessage::ReplyMessage;
    }
    QString output(QProcess& process) {
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    }
    bool finished(QProcess& process) {
        return waitUntil([&] { return process.state() == QProcess::NotRunning; },
                         std::chrono::seconds(30));
    }

    DbusDaemon bus;
    QTemporaryDir home;
    std::unique_ptr<QDBusConnection> client;
    QProcess program;
    QProcess second;
};

bool isRed(const QColor& color) {
    return color.red() > 200 && color.green() < 50 && color.blue() < 50;
}
}  // namespace

TEST_F(QuorvelProgram, DrivesTheVirtualPadsOverDbusAndQuitsCleanlyOnSigterm) {
    writeColoredKeyOne(settingsRoot(), home.path(), Qt::red);
    const QString finalPictures = path(QStringLiteral("final"));
    start(
        program, bus.address(),
        {QStringLiteral("--save-pictures-at-quit"), finalPictures, QStringLiteral("--calibrate")});
    ASSERT_TRUE(waitUntil([&] { return serviceUp(); }, std::chrono::seconds(30)))
        << output(program).toStdString();

    const QList<VirtualPadEntry> pads = listPads();
    ASSERT_EQ(pads.size(), 2);
    EXPECT_EQ(pads[0].name, "displaypad");
    EXPECT_EQ(pads[0].kind, "mountain");
    EXPECT_EQ(pads[0].deviceID, virtualDisplayPadID());
    EXPECT_EQ(pads[1].name, "msd-two");
    EXPECT_EQ(pads[1].kind, "msdTwo");
    EXPECT_EQ(pads[1].deviceID, virtualMsdTwoID());
    EXPECT_TRUE(pads[0].plugged && pads[1].plugged);

    // The pad shows the configured artwork on key 1 and black keys elsewhere.
    QImage shown;
    ASSERT_TRUE(waitUntil([&] {
        shown = picture(QStringLiteral("displaypad"));
        return !shown.isNull() && isRed(displayPadKeyColor(shown, 1));
    })) << output(program).toStdString();
    EXPECT_EQ(shown.size(), QSize(612, 204));
    for (int key = 2; key <= 12; ++key) {
        EXPECT_EQ(displayPadKeyColor(shown, key), QColor(Qt::black)) << "key " << key;
    }
    EXPECT_EQ(picture(QStringLiteral("msd-two")).size(), QSize(320, 240));
    // --calibrate: red, green, blue and yellow bars inside the top, right, bottom and left edge of
    // every MSD-TWO screen button.
    const std::pair<QPoint, QColor> bars[] = {
        {{32, 4}, Qt::red}, {{59, 32}, Qt::green}, {{32, 59}, Qt::blue}, {{4, 32}, Qt::yellow}};
    EXPECT_TRUE(waitUntil([&] {
        const QImage screen = picture(QStringLiteral("msd-two"));
        int shown = 0;
        for (int key = 1; key <= VirtualMsdTwo::buttonCount; ++key) {
            for (const auto& [at, color] : bars) {
                const QColor c = screen.pixelColor(VirtualMsdTwo::buttonRect(key).topLeft() + at);
                shown += qAbs(c.red() - color.red()) + qAbs(c.green() - color.green()) +
                             qAbs(c.blue() - color.blue()) <
                         150;
            }
        }
        return shown == 4 * VirtualMsdTwo::buttonCount;
    }));

    // A second copy on the same bus leaves at once and leaves the first one running.
    start(second, bus.address());
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(output(second).contains("already running")) << output(second).toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);

    EXPECT_EQ(call("PressKey", {QStringLiteral("displaypad"), 1}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(call("ReleaseKey", {QStringLiteral("displaypad"), 1}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(call("TurnDial", {QStringLiteral("msd-two"), QStringLiteral("large"), -2}).type(),
              QDBusMessage::ReplyMessage);
    const QDBusMessage outOfRange = call("PressKey", {QStringLiteral("displaypad"), 13});
    EXPECT_EQ(outOfRange.errorName(), "org.quorvel.Zodovuvur.VirtualPads.Error.InvalidArgument");
    EXPECT_EQ(call("PressKey", {QStringLiteral("mouse"), 1}).errorName(),
              "org.quorvel.Zodovuvur.VirtualPads.Error.UnknownPad");
    EXPECT_EQ(call("PressDial", {QStringLiteral("msd-two"), QStringLiteral("left")}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(
        call("PressRoundButton", {QStringLiteral("msd-two"), QStringLiteral("middle")}).type(),
        QDBusMessage::ReplyMessage);
    EXPECT_EQ(call("SavePicture", {QStringLiteral("msd-two"), path("missing/msd.png")}).errorName(),
              "org.quorvel.Zodovuvur.VirtualPads.Error.WriteFailed");

    // Unplugged, the pad sends nothing; plugged in again it is driven again.
    EXPECT_EQ(call("Unplug", {QStringLiteral("displaypad")}).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(listPads().value(0).plugged);
    EXPECT_EQ(call("PressKey", {QStringLiteral("displaypad"), 1}).errorName(),
              "org.quorvel.Zodovuvur.VirtualPads.Error.Unplugged");
    EXPECT_EQ(call("Plug", {QStringLiteral("displaypad")}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(listPads().value(0).plugged);
    EXPECT_EQ(call("PressButton", {QStringLiteral("displaypad"), 2}).type(),
              QDBusMessage::ReplyMessage);

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(finished(program));
    const QString log = output(program);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(program.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit: quit frame shown on 2 pads, 0 failed"))
        << log.toStdString();

    // The quit frame cleared the artwork.
    const QImage last(QDir(finalPictures).filePath(QStringLiteral("displaypad.png")));
    ASSERT_FALSE(last.isNull()) << log.toStdString();
    for (int key = 1; key <= 12; ++key) {
        EXPECT_EQ(displayPadKeyColor(last, key), QColor(Qt::black)) << "key " << key;
    }
    EXPECT_EQ(QImage(QDir(finalPictures).filePath(QStringLiteral("msd-two.png"))).size(),
              QSize(320, 240));

    // Settings went to the data home given, for both pads.
    for (const QString& id : {virtualDisplayPadID(), virtualMsdTwoID()}) {
        const QDir folder(QDir(settingsRoot()).filePath(id));
        EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("bindings.json"))))
            << id.toStdString();
        EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("appearance.json"))))
            << id.toStdString();
    }
}

TEST_F(QuorvelProgram, RunsWithoutASessionBusAndQuitsOnSigint) {
    start(program, QStringLiteral("unix:path=") + path(QStringLiteral("no-bus-here")));
    // Without a bus there is only the log to watch: the pads come up and get their settings.
    const QString bindings =
        QDir(settingsRoot()).filePath(virtualMsdTwoID() + QStringLiteral("/bindings.json"));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(bindings); }, std::chrono::seconds(30)))
        << output(program).toStdString();

    // The lock file keeps a second copy out all the same.
    start(second, QStringLiteral("unix:path=") + path(QStringLiteral("no-bus-here")));
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(output(second).contains("already running")) << output(second).toStdString();

    ::kill(static_cast<pid_t>(program.processId()), SIGINT);
    ASSERT_TRUE(finished(program));
    const QString log = output(program);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(program.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("No D-Bus session bus")) << log.toStdString();
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit:")) << log.toStdString();
}

// A quit leaves nothing a key started behind: the running script is ended with its process
// group (this one ignores SIGTERM, so it takes the kill after the grace), the action queued behind
// it never runs, and the program does not wait for the script's 60-second limit. SIGHUP quits
// the same way; a second signal exits at once and still takes the script along. The rows also
// start on a live X display and on one that cannot be reached, where the program goes headless.
TEST_F(QuorvelProgram, QuitEndsRunningScriptsAndDropsQueuedActions) {
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp"});
    ASSERT_TRUE(waitUntil([&] { return xvfb.canReadLine(); })) << xvfb.errorString().toStdString();
    const QString liveDisplay = ":" + QString::fromLatin1(xvfb.readLine()).trimmed();
    const QString pidFile = path(QStringLiteral("script.pid"));
    const QString marker = path(QStringLiteral("queued-action-ran"));
    writeDisplayPadScene(settingsRoot(), [&](QuorvelScene& scene) {
        scene.keys[0].action = scene.keys[1].action = QStringLiteral("Shell script");
        scene.keys[0].argument =
            QString("trap '' TERM; echo $$ > '%1'; exec sleep 600").arg(pidFile);
        scene.keys[1].argument = QString("touch '%1'").arg(marker);
    });
    struct Row {
        std::vector<int> signals;
        int exitCode;
        QString display;  // empty: none
        bool fallsBack;
    };
    const Row rows[] = {{{SIGTERM}, 0, liveDisplay, false},
                        {{SIGHUP}, 0, QStringLiteral(":97"), true},
                        {{SIGTERM, SIGINT}, 128 + SIGINT, QString(), false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.display.toStdString() + " signal " + std::to_string(row.signals.back()));
        QFile::remove(pidFile);
        start(program, bus.address(), {}, [&](QProcessEnvironment& env) {
            if (!row.display.isEmpty()) {
                env.insert(QStringLiteral("DISPLAY"), row.display);
                env.insert(QStringLiteral("WAYLAND_DISPLAY"), path(QStringLiteral("no-wayland")));
            }
        });
        ASSERT_TRUE(waitUntil([&] { return serviceUp(); }, std::chrono::seconds(30)))
            << output(program).toStdString();
        for (int key : {1, 2}) {
            call("PressKey", {QStringLiteral("displaypad"), key});
            call("ReleaseKey", {QStringLiteral("displaypad"), key});
            ASSERT_TRUE(waitUntil([&] { return readFile(pidFile).toLongLong() > 0; }));
        }
        const qint64 script = readFile(pidFile).trimmed().toLongLong();
        // Signals sent together may arrive in either order: the second waits for the first quit.
        QString log;
        for (int signal : row.signals) {
            ASSERT_TRUE(signal == row.signals.front() || waitUntil([&] {
                            log += output(program);
                            return log.contains("quitting");
                        }))
                << log.toStdString();
            ::kill(static_cast<pid_t>(program.processId()), signal);
        }
        ASSERT_TRUE(finished(program)) << "the quit waited for the script";
        log += output(program);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << log.toStdString();
        EXPECT_EQ(program.exitCode(), row.exitCode) << log.toStdString();
        EXPECT_EQ(log.contains("quit frame shown on 2 pads"), row.exitCode == 0)
            << log.toStdString();
        EXPECT_EQ(log.count("No display could be reached"), row.fallsBack ? 1 : 0)
            << log.toStdString();
        EXPECT_TRUE(waitUntil([&] { return processGone(script); })) << "script left running";
        EXPECT_FALSE(QFile::exists(marker));
    }
    xvfb.kill();
    xvfb.waitForFinished();
}

TEST_F(QuorvelProgram, RefusesOptionsThatNeedSimulation) {
    QProcess process;
    process.setProcessEnvironment(environment(bus.address()));
    process.start(QStringLiteral(QUORVEL_EXECUTABLE), {QStringLiteral("--virtual-only")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(output(process).contains("--virtual-only needs --simulate"));
}
