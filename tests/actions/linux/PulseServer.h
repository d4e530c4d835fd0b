#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private PulseAudio server for one test: its own runtime folder and socket, no autospawn,
// optionally one null sink that becomes the default output. Stopped when destroyed.
class PulseServer {
public:
    explicit PulseServer(bool withSink = true);
    ~PulseServer();

    // True once the server answers on its socket.
    bool isRunning() const;
    // The server string for PulseAudioOutput, "unix:<folder>/native".
    QString address() const;
    // Runs pactl against this server; returns its standard output (empty on failure).
    QString pactl(const QStringList& arguments) const;
    // The server's process id (0 when it did not start).
    qint64 processId() const { return process_.processId(); }
    // The log the server wrote, for failure messages.
    QString log() const;

private:
    QTemporaryDir folder_;
    QProcess process_;
    bool running_ = false;
};
