#include "PulseServer.h"

#include "support/TestSupport.h"

#include <QFileInfo>

PulseServer::PulseServer(bool withSink) {
    if (!folder_.isValid()) {
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Everything the server would look up in the user's folders points into the test folder.
    environment.insert("HOME", folder_.path());
    environment.insert("XDG_RUNTIME_DIR", folder_.path());
    environment.insert("XDG_CONFIG_HOME", folder_.filePath("config"));
    environment.insert("XDG_STATE_HOME", folder_.filePath("state"));
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    environment.remove("PULSE_SERVER");
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"-n",
                          "--daemonize=no",
                          "--exit-idle-time=-1",
                          "--use-pid-file=no",
                          "--disable-shm=yes",
                          "--log-target=stderr"};
    // The sink comes first so it is the default by the time the socket appears.
    if (withSink) {
        arguments << "-L"
                  << "module-null-sink sink_name=quorvel_test";
    }
    arguments << "-L"
              << QString("module-native-protocol-unix socket=%1 auth-anonymous=1")
                     .arg(folder_.filePath("native"));
    endWithTest(process_);
    process_.start("pulseaudio", arguments);
    if (!process_.waitForStarted()) {
        return;
    }
    running_ = waitUntil([this] {
        return process_.state() == QProcess::Running &&
               QFileInfo(folder_.filePath("native")).exists() && !pactl({"info"}).isEmpty();
    });
}

PulseServer::~PulseServer() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
}

bool PulseServer::isRunning() const {
    return running_;
}

QString PulseServer::address() const {
    return "unix:" + folder_.filePath("native");
}

QString PulseServer::pactl(const QStringList& arguments) const {
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", address());
    environment.insert("HOME", folder_.path());
    client.setProcessEnvironment(environment);
    client.start("pactl", arguments);
    if (!client.waitForFinished(10000) || client.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(client.readAllStandardOutput());
}

QString PulseServer::log() const {
    return QString::fromUtf8(const_cast<QProcess&>(process_).readAll());
}
