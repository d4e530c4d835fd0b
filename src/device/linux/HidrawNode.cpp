#include "device/linux/HidrawNode.h"

#include "device/LocationID.h"

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <QStringList>

namespace {
constexpr int busUsb = 0x03;

QString text(const char* value) {
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

// HID_ID of the hid device: "bus:vendor:product", each hexadecimal ("0003:00003282:00000009").
bool parseHidId(const QString& hidId, int& bus, int& vendor, int& product) {
    const QStringList parts = hidId.split(u':');
    if (parts.size() != 3) {
        return false;
    }
    bool busOk = false;
    bool vendorOk = false;
    bool productOk = false;
    bus = parts[0].toInt(&busOk, 16);
    vendor = parts[1].toInt(&vendorOk, 16);
    product = parts[2].toInt(&productOk, 16);
    return busOk && vendorOk && productOk && vendor <= 0xFFFF && product <= 0xFFFF;
}
}  // namespace

std::optional<HidrawNode> HidrawNode::fromUdev(udev_device* hidraw) {
    HidrawNode node;
    node.syspath = text(udev_device_get_syspath(hidraw));
    node.devnode = text(udev_device_get_devnode(hidraw));
    if (node.syspath.isEmpty() || node.devnode.isEmpty()) {
        return std::nullopt;
    }
    // Parents are owned by their child and not unreferenced separately.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (!hid) {
        return std::nullopt;
    }
    int bus = 0;
    if (!parseHidId(text(udev_device_get_property_value(hid, "HID_ID")), bus, node.vendorID,
                    node.productID) ||
        bus != busUsb) {
        return std::nullopt;
    }
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device")) {
        bool busOk = false;
        const int busNumber = text(udev_device_get_sysattr_value(usb, "busnum")).toInt(&busOk);
        const auto ports =
            LocationID::parsePortPath(text(udev_device_get_sysattr_value(usb, "devpath")));
        if (busOk && ports) {
            node.locationID = LocationID::fromPortPath(busNumber, *ports);
        }
    }
    return node;
}

void HidrawNode::addHidapiDetails() {
    usagePages.clear();
    serialNumber.reset();
    const QByteArray path = devnode.toLocal8Bit();
    hid_device_info* list = hid_enumerate(static_cast<unsigned short>(vendorID),
                                          static_cast<unsigned short>(productID));
    // hidapi lists one entry per top-level collection of each interface.
    for (const hid_device_info* entry = list; entry; entry = entry->next) {
        if (path != entry->path) {
            continue;
        }
        usagePages.push_back(entry->usage_page);
        if (!serialNumber && entry->serial_number && entry->serial_number[0] != 0) {
            serialNumber = QString::fromWCharArray(entry->serial_number);
        }
    }
    hid_free_enumeration(list);
}

HidDeviceInfo HidrawNode::info(int usagePage) const {
    HidDeviceInfo info;
    info.vendorID = vendorID;
    info.productID = productID;
    info.primaryUsagePage = usagePage;
    info.locationID = locationID;
    info.serialNumber = serialNumber;
    info.path = devnode;
    return info;
}
