#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private message bus for one test, started with its own configuration in a temporary folder
// and stopped when destroyed. Anyone on it may own any name.
class DbusDaemon {
public:
    DbusDaemon();
    ~DbusDaemon();

    // The bus address ("unix:path=..."), empty when the daemon did not start.
    QString address() const { return address_; }
    QString log() const;

private:
    QTemporaryDir folder_;
    QProcess process_;
    QString address_;
};
