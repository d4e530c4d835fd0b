#include "device/PadInventory.h"

#include <QSet>

std::vector<AttachedPad> PadInventory::supportedPads(
    const std::vector<HidInterfaceInfo>& interfaces) {
    std::vector<AttachedPad> pads;
    QSet<QString> seen;
    for (const HidInterfaceInfo& info : interfaces) {
        const auto kind = DeviceKind::matching(info.vendorID, info.productID);
        if (!kind || info.usagePage != kind->usagePage()) {
            continue;
        }
        // hidapi lists one entry per top-level collection; a node is one pad.
        if (seen.contains(info.hidPath)) {
            continue;
        }
        seen.insert(info.hidPath);
        pads.push_back(AttachedPad{*kind, kind->identity(info.serial, info.locationID.value_or(0)),
                                   info.locationID, info.serial, info.hidPath, info.usbPath,
                                   info.hidAccessible, info.usbAccessible});
    }
    return pads;
}
