#include "support/ProgramUnderTest.h"

#include "app/QuorvelApplication.h"
#include "app/VirtualPadService.h"
#include "config/ConfigurationJson.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include <csignal>

namespace {
const char* const connectionName = "program-under-test";
}

ProgramUnderTest::ProgramUnderTest() {
    EXPECT_FALSE(bus.address().isEmpty()) << bus.log();
    client = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(bus.address(), connectionName));
}

// Ended the way a session ends it, so that it quits in order (and a coverage build keeps what
// it ran); killed only when that does not end it.
ProgramUnderTest::~ProgramUnderTest() {
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished();
    }
    client.reset();
    QDBusConnection::disconnectFromBus(connectionName);
}

void ProgramUnderTest::writeScenes(const QString& deviceID,
                                   const SavedConfiguration& configuration) const {
    writeBytes(settings(deviceID, "bindings.json"), ConfigurationJson::encode(configuration));
}

QProcessEnvironment ProgramUnderTest::environment(const QString& busAddress) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        env.insert(name, path(QString(name).toLower()));
    }
    env.insert("XDG_DATA_HOME", path("data"));
    const QString address = busAddress.isEmpty() ? bus.address() : busAddress;
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
    return env;
}

void ProgramUnderTest::start(QProcess& process, QStringList arguments, const QString& busAddress,
                             const std::function<void(QProcessEnvironment&)>& display) {
    QProcessEnvironment env = environment(busAddress);
    arguments << "--simulate"
              << "--virtual-only";
    display ? display(env) : void(arguments << "--headless");
    process.setProcessEnvironment(env);
    outputs_.remove(&process);
    endWithTest(process);
    process.start(QUORVEL_EXECUTABLE, arguments);
    ASSERT_TRUE(process.waitForStarted()) << process.errorString();
}

bool ProgramUnderTest::ready(std::chrono::milliseconds deadline) {
    return waitUntil(
        [&] {
            return client->interface()->isServiceRegistered(QuorvelApplication::serviceName) &&
                   callPads("ListPads").type() == QDBusMessage::ReplyMessage;
        },
        deadline);
}

ProgramUnderTest::Outcome ProgramUnderTest::run(const QString& executable,
                                                const QStringList& arguments,
                                                const QString& busAddress) {
    QProcess process;
    process.setProcessEnvironment(environment(busAddress));
    endWithTest(process);
    process.start(executable, arguments);
    EXPECT_TRUE(process.waitForFinished(120000)) << arguments.join(' ');
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QDBusMessage ProgramUnderTest::callPads(const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(QuorvelApplication::serviceName,
                                                          VirtualPadService::objectPath,
                                                          VirtualPadService::interfaceName, method);
    message.setArguments(arguments);
    return client->call(message, QDBus::Block, 10000);
}

QImage ProgramUnderTest::picture(const QString& pad) {
    const QString file = path(pad + "-now.png");
    EXPECT_EQ(callPads("SavePicture", {pad, file}).errorName(), "");
    return QImage(file);
}

QColor ProgramUnderTest::keyPixel(const QImage& picture, int key, int x, int y) {
    return picture.pixelColor((key - 1) % 6 * 102 + x, (key - 1) / 6 * 102 + y);
}

QString ProgramUnderTest::output(QProcess& process) {
    return outputs_[&process] +=
           QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

QString ProgramUnderTest::quitWith(int signal, int code) {
    ::kill(static_cast<pid_t>(program.processId()), signal);
    EXPECT_TRUE(finished(program));
    const QString log = output(program);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << log;
    EXPECT_EQ(program.exitCode(), code) << log;
    return log;
}

bool finished(QProcess& process, std::chrono::milliseconds deadline) {
    return waitUntil([&] { return process.state() == QProcess::NotRunning; }, deadline);
}
