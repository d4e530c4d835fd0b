#pragma once

#include "app/VirtualPads.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

// One entry of ListPads(), D-Bus signature (sssb): name, kind, device id, plugged.
struct VirtualPadEntry {
    QString name;
    QString kind;
    QString deviceID;
    bool plugged = false;
};
Q_DECLARE_METATYPE(VirtualPadEntry)
Q_DECLARE_METATYPE(QList<VirtualPadEntry>)

QDBusArgument& operator<<(QDBusArgument& argument, const VirtualPadEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualPadEntry& entry);

// The virtual pads on the session bus, for developers and tests (docs/virtual-pads-dbus.md):
// object `objectPath`, interface `interfaceName`. Each slot is one D-Bus method; a refused
// request answers with a D-Bus error named after its reason (`errorPrefix` + "UnknownPad",
// "InvalidArgument", "Unplugged" or "WriteFailed") and the reason in words.
//
// Threads: main thread (Qt delivers the calls there). Ownership: `pads` must outlive the service;
// the object is unregistered when the service is destroyed.
class VirtualPadService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.VirtualPads")

public:
    static constexpr const char* objectPath = "/org/quorvel/Zodovuvur/VirtualPads";
    static constexpr const char* interfaceName = "org.quorvel.Zodovuvur.VirtualPads";
    static constexpr const char* errorPrefix = "org.quorvel.Zodovuvur.VirtualPads.Error.";

    explicit VirtualPadService(VirtualPads& pads, QObject* parent = nullptr);
    ~VirtualPadService() override;

    // Exports the object on `connection`; false (with the reason logged) when the path is taken
    // or the connection is down.
    bool registerOn(QDBusConnection connection);

public Q_SLOTS:
    QList<VirtualPadEntry> ListPads();
    void PressKey(const QString& pad, int key);
    void ReleaseKey(const QString& pad, int key);
    void PressButton(const QString& pad, int button);
    void TurnDial(const QString& pad, const QString& dial, int steps);
    void PressDial(const QString& pad, const QString& dial);
    void PressRoundButton(const QString& pad, const QString& which);
    void Unplug(const QString& pad);
    void Plug(const QString& pad);
    void SavePicture(const QString& pad, const QString& path);

private:
    // Runs `request`; a VirtualPadError becomes the D-Bus error reply.
    template <typename Request>
    void answer(Request&& request);

    VirtualPads& pads_;
    std::optional<QDBusConnection> connection_;
};
