#include "app/QuorvelApplication.h"
#include "app/SettingsService.h"
#include "config/ConfigurationJson.h"
#include "config/SettingsArchive.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include "app/VirtualPads.h"
#include "config/DefaultConfiguration.h"
#include "support/LocalServers.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// `quorvel --export` and `--import` from a shell: against the running program on a private
// session bus, and on the files once it has quit.
namespace {
QString virtualDisplayPadID() {
    return DeviceKind(DeviceKind::mountain)
        .identity(QString::fromLatin1(VirtualPads::displayPadSerial),
                  VirtualPads::displayPadLocation);
}

class SettingsCommand : public ::testing::Test {
protected:
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            env.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
        }
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    // Runs one command to its end: exit code and everything it printed.
    std::pair<int, QString> quorvel(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment());
        endWithTest(process);
        process.start(QStringLiteral(QUORVEL_EXECUTABLE), arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() +
                                                      process.readAllStandardError())};
    }
    int sceneCount() const {
        const QString file = home.filePath("XDG_DATA_HOME/Quorvel/Devices/" +
                                           virtualDisplayPadID() + "/bindings.json");
        return int(ConfigurationJson::decodeConfiguration(readFile(file)).scenes.size());
    }

    DbusDaemon bus;
    QTemporaryDir home;
};
}  // namespace

TEST_F(SettingsCommand, ExportsAndImportsThroughTheRunningProgramThenOnTheFiles) {
    ASSERT_FALSE(bus.address().isEmpty());
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    const QString folder = home.filePath("XDG_DATA_HOME/Quorvel/Devices/" + virtualDisplayPadID());
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile out(folder + "/bindings.json");
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(ConfigurationJson::encode(configuration));
    out.close();
    QProcess program;
    program.setProcessEnvironment(environment());
    endWithTest(program);
    program.start(QStringLiteral(QUORVEL_EXECUTABLE),
                  {"--simulate", "--virtual-only", "--headless"});
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), "settings-client");
    const QString device = virtualDisplayPadID();
    const QString bundle = home.filePath("pad");
    // Once the program has seen the pad, its settings service answers for it.
    ASSERT_TRUE(waitUntil(
        [&] {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QuorvelApplication::serviceName, SettingsService::objectPath,
                SettingsService::interfaceName, "Export");
            call << device << home.filePath("probe.quorvel") << true;
            return client.call(call).type() == QDBusMessage::ReplyMessage;
        },
        std::chrono::seconds(30)));

    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
        int scenes;
    } steps[] = {
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
        {{"--import", home.filePath("missing.quorvel"), "--device", device, "--mode", "add"},
         1,
         "no such file",
         2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const auto [code, output] = quorvel(step.arguments);
        EXPECT_EQ(code, step.exitCode);
        EXPECT_TRUE(output.contains(step.output)) << output.toStdString();
        EXPECT_EQ(sceneCount(), step.scenes);
    }
    EXPECT_EQ(program.state(), QProcess::Running);
    // The running program did the work: its log has the device's status line.
    QByteArray log;
    EXPECT_TRUE(waitUntil([&] {
        log += program.readAllStandardError();
        return log.contains(": 1 scenes added");
    })) << log.toStdString();

    // A bundle whose keys run commands needs --allow-scripts, at the running program and on
    // the files alike.
    SettingsArchive archive = SettingsArchive::read(bundle + ".quorvel");
    archive.scenes[0].keys[0].action = "Shell script";
    archive.scenes[0].keys[0].argument = "touch " + home.filePath("ran");
    archive.write(home.filePath("script.quorvel"));
    const QStringList import = {
        "--import", home.filePath("script.quorvel"), "--device", device, "--mode", "replace"};
    for (bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "on files");
        if (!running) {
            program.terminate();
            ASSERT_TRUE(program.waitForFinished(30000));
        }
        auto [code, output] = quorvel(import);
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(output.contains(Model::commandsRefusedMessage(1) + " (--allow-scripts)"))
            << output.toStdString();
        EXPECT_EQ(sceneCount(), 2);
        std::tie(code, output) = quorvel(import + QStringList{"--allow-scripts"});
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(output.contains("Device settings replaced")) << output.toStdString();
        EXPECT_EQ(sceneCount(), 1);
        EXPECT_EQ(quorvel(QStringList{"--import", bundle + ".quorvel", "--device", device, "--mode",
                                      "add"})
                      .first,
                  0);
    }
}
