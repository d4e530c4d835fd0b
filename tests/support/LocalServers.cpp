#include "support/LocalServers.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>

LocalServer::~LocalServer() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool LocalServer::start(const QString& program, const QStringList& arguments) {
    endWithTest(process_);
    process_.start(program, arguments);
    return folder_.isValid() && process_.waitForStarted();
}

DbusDaemon::DbusDaemon() {
    QFile config(folder_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly) ||
        !config.write(QString("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                              "<auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                          .arg(folder_.path())
                          .toUtf8())) {
        return;
    }
    config.close();
    if (start("dbus-daemon",
              {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"}) &&
        waitUntil(
            [this] { return process_.canReadLine() || process_.state() != QProcess::Running; })) {
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
}

PulseServer::PulseServer(bool withSink) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Everything the server would look up in the user's folders points into the test folder.
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
        environment.insert(name, folder_.path());
    }
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
              << "module-native-protocol-unix auth-anonymous=1 socket=" +
                     folder_.filePath("native");
    running_ = start("pulseaudio", arguments) && waitUntil([this] {
                   return process_.state() == QProcess::Running &&
                          QFileInfo::exists(folder_.filePath("native")) &&
                          !pactl({"info"}).isEmpty();
               });
}

QString PulseServer::pactl(const QStringList& arguments) const {
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", address());
    environment.insert("HOME", folder_.path());
    client.setProcessEnvironment(environment);
    client.start("pactl", arguments);
    return client.waitForFinished(10000) && client.exitCode() == 0
               ? QString::fromUtf8(client.readAllStandardOutput())
               : QString();
}
