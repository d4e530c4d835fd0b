#include "app/DeviceList.h"

#include "core/ActionError.h"

#include <QStringList>
#include <QTextStream>

namespace {
QString access(const QString& label, const QString& path, bool accessible) {
    if (path.isEmpty()) {
        return label + QStringLiteral(" node unknown");
    }
    return label + QLatin1Char(' ') + path +
           (accessible ? QStringLiteral(" read/write") : QStringLiteral(" no access"));
}
}  // namespace

QString DeviceList::text(const std::vector<AttachedPad>& pads) {
    if (pads.empty()) {
        return QStringLiteral("No Mountain DisplayPad or MSD-TWO is attached.\n");
    }
    QString result;
    bool missingAccess = false;
    for (const AttachedPad& pad : pads) {
        QStringList fields;
        fields << pad.kind.name() << QStringLiteral("id ") + pad.id;
        fields << (pad.locationID ? QString::asprintf("location 0x%08x", *pad.locationID)
                                  : QStringLiteral("location unknown"));
        fields << (pad.serial && !pad.serial->isEmpty()
                       ? QStringLiteral("serial \"%1\"").arg(*pad.serial)
                       : QStringLiteral("no serial number"));
        fields << access(QStringLiteral("HID"), pad.hidPath, pad.hidAccessible);
        fields << access(QStringLiteral("USB"), pad.usbPath, pad.usbAccessible);
        result += fields.join(QStringLiteral(", ")) + QLatin1Char('\n');
        missingAccess = missingAccess || !pad.hidAccessible || !pad.usbAccessible;
    }
    if (missingAccess) {
        result += QStringLiteral(
            "This user cannot read and write every device node above; install the udev rules "
            "(README, \"Access to the pads (udev rules)\") and replug the pad.\n");
    }
    return result;
}

int DeviceList::run(HidInventory& inventory, QTextStream& out, QTextStream& err) {
    try {
        out << text(PadInventory::supportedPads(inventory.hidInterfaces()));
        out.flush();
        return 0;
    } catch (const ActionError& error) {
        err << error.message() << '\n';
        err.flush();
        return 1;
    }
}
