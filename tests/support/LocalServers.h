#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A server that one test starts in its own temporary folder and that ends with the test, however
// the test ends (the kernel kills it when the test process dies).
class LocalServer {
public:
    ~LocalServer();
    // The server's own output, for failure messages.
    QString log() {
        return QString::fromUtf8(process_.readAllStandardOutput() +
                                 process_.readAllStandardError());
    }

protected:
    bool start(const QString& program, const QStringList& arguments);

    QTemporaryDir folder_;
    QProcess process_;
};

// A private message bus. Anyone on it may own any name.
class DbusDaemon : public LocalServer {
public:
    DbusDaemon();
    // "unix:path=...", empty when the daemon did not start.
    QString address() const { return address_; }

private:
    QString address_;
};

// A private PulseAudio server on its own socket, without autospawn, optionally with one null
// sink "quorvel_test" that is the default output.
class PulseServer : public LocalServer {
public:
    explicit PulseServer(bool withSink = true);
    bool isRunning() const { return running_; }
    QString address() const { return "unix:" + folder_.filePath("native"); }
    // pactl against this server: its standard output, empty on failure.
    QString pactl(const QStringList& arguments) const;

private:
    bool running_ = false;
};
