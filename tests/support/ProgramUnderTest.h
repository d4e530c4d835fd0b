#pragma once

#include "config/SavedConfiguration.h"
#include "support/LocalServers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

// The built program driven from outside: a private session bus, its folders in a temporary home,
// only its virtual pads (never a real one), and nothing but D-Bus, signals and its output to talk
// to it. Programs started through it end with the test.
class ProgramUnderTest {
public:
    ProgramUnderTest();
    ~ProgramUnderTest();

    QString path(const QString& relative) const { return home.filePath(relative); }
    // A file in a device's settings folder.
    QString settings(const QString& deviceID, const QString& file) const {
        return path("data/Quorvel/Devices/" + deviceID + "/" + file);
    }
    // Lays down a device's bindings file before the program starts.
    void writeScenes(const QString& deviceID, const SavedConfiguration& configuration) const;
    // The environment of everything the test starts: the temporary home, `busAddress` (the
    // private bus when empty), and no display.
    QProcessEnvironment environment(const QString& busAddress = {}) const;

    // Starts `executable` (the program when empty) with the virtual pads only, headless unless
    // `display` adjusts the environment for a display.
    void start(QProcess& process, QStringList arguments = {}, const QString& busAddress = {},
               const std::function<void(QProcessEnvironment&)>& display = {});
    // True once the program answers on the bus with its virtual pads.
    bool ready(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Runs `executable` with `arguments` to its end: exit code, standard output, standard error.
    struct Outcome {
        int exitCode = -1;
        QString out, err;
    };
    Outcome run(const QString& executable, const QStringList& arguments,
                const QString& busAddress = {});

    // A call to the virtual pads' interface of the running program.
    QDBusMessage callPads(const QString& method, const QVariantList& arguments = {});
    // The picture a virtual pad ("displaypad", "msd-two") shows now.
    QImage picture(const QString& pad);
    // The colour at (x, y) inside DisplayPad key 1...12 of a picture of the whole pad.
    static QColor keyPixel(const QImage& picture, int key, int x = 51, int y = 51);

    // Everything `process` printed since the last call, added to what came before.
    QString output(QProcess& process);
    // Sends `signal` to the program and returns its whole output once it has ended with `code`.
    QString quitWith(int signal, int code = 0);

    DbusDaemon bus;
    QTemporaryDir home;
    std::unique_ptr<QDBusConnection> client;
    QProcess program;

private:
    QHash<QProcess*, QString> outputs_;
};

bool finished(QProcess& process, std::chrono::milliseconds deadline = std::chrono::seconds(30));
