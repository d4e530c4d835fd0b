#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <exception>
#include <optional>

// The exit codes scripts can tell apart.
enum ExitCode {
    exitOk = 0,
    exitRefused = 1,      // the program refused the request (its message says why)
    exitUsage = 2,        // the command line is wrong
    exitNotRunning = 3,   // no session bus, or Quorvel Zodovuvur is not on it
    exitNoSuchObject = 4  // no such device, screen button or badge position
};

// A request that ended the command: what to print and the exit code.
struct CtlFailure : std::exception {
    CtlFailure(int code, QString errorName, QString message)
        : code(code), errorName(std::move(errorName)), message(std::move(message)) {}
    int code;
    QString errorName;
    QString message;
};

// The running program's scripting objects, reached over the session bus. Every call blocks
// until the answer; a D-Bus error becomes a CtlFailure with its exit code.
class Client {
public:
    static constexpr const char* service = "org.quorvel.Zodovuvur";
    static constexpr const char* root = "/org/quorvel/Zodovuvur";
    static constexpr const char* interfacePrefix = "org.quorvel.Zodovuvur.";

    // Throws CtlFailure(exitNotRunning) when there is no bus or the program is not on it.
    Client();

    // `interface` is the short name ("Application", "Device", "ScreenButton", "Badge").
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) const;
    QString callForPath(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments = {}) const;
    QVariantMap properties(const QString& path, const QString& interface) const;
    // Object paths of an "ao" property.
    QStringList paths(const QString& path, const QString& interface, const QString& property) const;

    // A device path, given its id or its name.
    QString device(const QString& idOrName) const;
    // A screen button by id (a UUID, unless `byName`) or by name, on all devices or on
    // `devicePath`.
    QString button(const QString& idOrName, bool byName,
                   const std::optional<QString>& devicePath) const;

private:
    QDBusConnection bus_;
};
