#include "app/VirtualPadService.h"

#include "core/Log.h"

#include <QDBusMetaType>

QDBusArgument& operator<<(QDBusArgument& argument, const VirtualPadEntry& entry) {
    argument.beginStructure();
    argument << entry.name << entry.kind << entry.deviceID << entry.plugged;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualPadEntry& entry) {
    argument.beginStructure();
    argument >> entry.name >> entry.kind >> entry.deviceID >> entry.plugged;
    argument.endStructure();
    return argument;
}

namespace {
QString errorName(VirtualPadError::Reason reason) {
    const char* suffix = "";
    switch (reason) {
        case VirtualPadError::Reason::unknownPad:
            suffix = "UnknownPad";
            break;
        case VirtualPadError::Reason::invalidArgument:
            suffix = "InvalidArgument";
            break;
        case VirtualPadError::Reason::unplugged:
            suffix = "Unplugged";
            break;
        case VirtualPadError::Reason::writeFailed:
            suffix = "WriteFailed";
            break;
    }
    return QString::fromLatin1(VirtualPadService::errorPrefix) + QString::fromLatin1(suffix);
}
}  // namespace

VirtualPadService::VirtualPadService(VirtualPads& pads, QObject* parent)
    : QObject(parent), pads_(pads) {
    qDBusRegisterMetaType<VirtualPadEntry>();
    qDBusRegisterMetaType<QList<VirtualPadEntry>>();
}

VirtualPadService::~VirtualPadService() {
    if (connection_) {
        connection_->unregisterObject(QString::fromLatin1(objectPath));
    }
}

bool VirtualPadService::registerOn(QDBusConnection connection) {
    if (!connection.isConnected()) {
        logLine("Virtual pads are not on D-Bus: no session bus");
        return false;
    }
    if (!connection.registerObject(QString::fromLatin1(objectPath), this,
                                   QDBusConnection::ExportAllSlots)) {
        logLine("Virtual pads are not on D-Bus: %s is taken (%s)", objectPath,
                qUtf8Printable(connection.lastError().message()));
        return false;
    }
    connection_ = connection;
    return true;
}

template <typename Request>
void VirtualPadService::answer(Request&& request) {
    try {
        request();
    } catch (const VirtualPadError& error) {
        if (calledFromDBus()) {
            sendErrorReply(errorName(error.reason()), error.message());
        }
    }
}

QList<VirtualPadEntry> VirtualPadService::ListPads() {
    QList<VirtualPadEntry> entries;
    for (const VirtualPads::Listing& listing : pads_.list()) {
        entries.append({listing.name, listing.kind, listing.deviceID, listing.plugged});
    }
    return entries;
}

void VirtualPadService::PressKey(const QString& pad, int key) {
    answer([&] { pads_.pressKey(pad, key); });
}

void VirtualPadService::ReleaseKey(const QString& pad, int key) {
    answer([&] { pads_.releaseKey(pad, key); });
}

void VirtualPadService::PressButton(const QString& pad, int button) {
    answer([&] { pads_.pressButton(pad, button); });
}

void VirtualPadService::TurnDial(const QString& pad, const QString& dial, int steps) {
    answer([&] { pads_.turnDial(pad, dial, steps); });
}

void VirtualPadService::PressDial(const QString& pad, const QString& dial) {
    answer([&] { pads_.pressDial(pad, dial); });
}

void VirtualPadService::PressRoundButton(const QString& pad, const QString& which) {
    answer([&] { pads_.pressRoundButton(pad, which); });
}

void VirtualPadService::Unplug(const QString& pad) {
    answer([&] { pads_.unplug(pad); });
}

void VirtualPadService::Plug(const QString& pad) {
    answer([&] { pads_.plug(pad); });
}

void VirtualPadService::SavePicture(const QString& pad, const QString& path) {
    answer([&] { pads_.savePicture(pad, path); });
}
