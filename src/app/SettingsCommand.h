#pragma once

#include <QDBusConnection>
#include <QString>
#include <QTextStream>

#include <optional>

// `quorvel --export FILE --device ID [--scene]` and
// `quorvel --import BUNDLE --device ID --mode add|replace [--allow-scripts]`: the settings
// exchange for people without a desktop and for scripts. When a copy of the program runs and
// owns its name on the session bus, the work is done there, on the pads it drives; otherwise
// (or when that copy has not seen the device) directly on the device's files, which a running
// copy without a bus loads as a change made on disk.
//
// Main thread of a short-lived process; a QCoreApplication must exist.
struct SettingsCommand {
    enum class Operation { exportBundle, importBundle };

    Operation operation = Operation::exportBundle;
    QString path;
    QString deviceID;
    bool sceneOnly = false;
    // "add" or "replace"; imports only.
    QString mode;
    bool allowScripts = false;

    // Kind and hexadecimal identity, e.g. "msdTwo-73657269616c2d31"; nothing that could leave
    // the settings folder.
    static bool isDeviceID(const QString& id);

    // Runs the command; the outcome goes to `out` (success) or `err`. Returns the exit status:
    // 0 done, 1 failed. `settingsRoot` empty means the default one.
    int run(QDBusConnection bus, const QString& settingsRoot, QTextStream& out,
            QTextStream& err) const;

private:
    // None when no running copy took the command (no bus, no owner, or the device unknown
    // there); otherwise the exit status.
    std::optional<int> runInInstance(QDBusConnection& bus, QTextStream& out,
                                     QTextStream& err) const;
    int runOnFiles(const QString& settingsRoot, QTextStream& out, QTextStream& err) const;
};
