#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

#include <optional>

class DeviceStore;
class Model;

// Settings bundles of the running program on the session bus, so that `quorvel --export` and
// `quorvel --import` work on the pads it drives instead of behind its back. Object `objectPath`,
// interface `interfaceName`. Each method answers with the device's status line on success, or
// a D-Bus error: `errorPrefix` + "UnknownDevice" for a device this run has not seen (the caller
// may then work on the files), + "Failed" with the status line otherwise.
//
// Threads: main thread. `store` must outlive the service.
class SettingsService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.Settings")

public:
    static constexpr const char* objectPath = "/org/quorvel/Zodovuvur/Settings";
    static constexpr const char* interfaceName = "org.quorvel.Zodovuvur.Settings";
    static constexpr const char* errorPrefix = "org.quorvel.Zodovuvur.Settings.Error.";

    explicit SettingsService(DeviceStore& store, QObject* parent = nullptr);
    ~SettingsService() override;

    bool registerOn(QDBusConnection connection);

public Q_SLOTS:
    // Writes the device's bundle (the active scene alone with `sceneOnly`) at the absolute
    // `path`.
    QString Export(const QString& device, const QString& path, bool sceneOnly);
    // Imports the bundle at the absolute `path` with `mode` "add" or "replace". Bindings that
    // run commands or open applications are refused unless `allowScripts`. Answers once the
    // import has ended.
    QString Import(const QString& device, const QString& path, const QString& mode,
                   bool allowScripts);

private:
    // The model of `device`, or null after replying with the unknown-device error.
    Model* knownModel(const QString& device);

    DeviceStore& store_;
    std::optional<QDBusConnection> connection_;
};
