#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class DeviceStore;
class Model;
class ScriptScreenButton;

// The scripting object model on the session bus (docs/dbus.md): the application object, one
// object per device, per screen button of every scene and per badge position, and the by-name
// references that scripts asked for. Paths are made from the device id and the button's script
// id, both stored, so a script can keep a path across launches:
//
//   /org/quorvel/Zodovuvur                                      Application
//   /org/quorvel/Zodovuvur/devices/<device>                     Device
//   /org/quorvel/Zodovuvur/devices/<device>/buttons/<script id> ScreenButton
//   .../badges/<top_left ... bottom_right>                      Badge
//   /org/quorvel/Zodovuvur/named/<name>                         ScreenButton (all with the name)
//   /org/quorvel/Zodovuvur/devices/<device>/named/<name>        ScreenButton (on that device)
//
// The exported objects follow the store: they are brought in line after every change of a
// device (coalesced on the event loop) and before every lookup.
//
// Threads: main thread. `store` must outlive the service.
class ScriptingService : public QObject {
    Q_OBJECT

public:
    static constexpr const char* rootPath = "/org/quorvel/Zodovuvur";
    static constexpr const char* errorPrefix = "org.quorvel.Zodovuvur.Error.";
    // Raised whenever an interface changes incompatibly or grows.
    static constexpr unsigned apiVersion = 1;

    explicit ScriptingService(DeviceStore& store, QObject* parent = nullptr);
    ~ScriptingService() override;

    // Exports the objects on `connection`; false (with the reason logged) when the root path is
    // taken.
    bool registerOn(QDBusConnection connection);
    // The object at rootPath once registered (else null); further D-Bus adaptors of that path
    // are made its children.
    QObject* root() const { return application_.get(); }

    // Registers the objects that are missing and drops those whose device or button is gone.
    void sync();

    // `text` as one object path element: letters and digits stay, every other byte of its UTF-8
    // becomes "_" and two hexadecimal digits; the empty text becomes "_".
    static QString pathElement(const QString& text);
    static QString devicePath(const QString& deviceID);
    static QString buttonPath(const QString& deviceID, const QString& scriptID);
    // The by-name reference path; with `deviceID`, the one limited to that device.
    static QString namedPath(const QString& name, const std::optional<QString>& deviceID);
    static QString badgePath(const QString& buttonPath, const QString& position);
    // The path of `button` (plain or by name).
    static QString pathOf(const ScriptScreenButton& button);

    DeviceStore& store() const { return store_; }
    // Makes sure a by-name reference object exists for `button` and returns its path.
    QString exportNamed(const ScriptScreenButton& button);

private:
    void scheduleSync();
    void exportObject(const QString& path, std::unique_ptr<QObject> object);
    void exportButton(const QString& path, const ScriptScreenButton& button);

    DeviceStore& store_;
    std::optional<QDBusConnection> connection_;
    // Path -> adaptor, for every exported path below the root.
    std::map<QString, std::unique_ptr<QObject>> objects_;
    std::unique_ptr<QObject> application_;
    bool syncScheduled_ = false;
};
