#include "DbusDaemon.h"

#include "support/TestSupport.h"

#include <QFile>

DbusDaemon::DbusDaemon() {
    if (!folder_.isValid()) {
        return;
    }
    QFile config(folder_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly)) {
        return;
    }
    config.write(
        QString(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(folder_.path())
            .toUtf8());
    config.close();
    endWithTest(process_);
    process_.start("dbus-daemon",
                   {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    if (!process_.waitForStarted()) {
        return;
    }
    waitUntil([this] { return process_.canReadLine() || process_.state() != QProcess::Running; });
    address_ = QString::fromUtf8(process_.readLine()).trimmed();
}

DbusDaemon::~DbusDaemon() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
}

QString DbusDaemon::log() const {
    return QString::fromUtf8(const_cast<QProcess&>(process_).readAllStandardError());
}
