#include "device/linux/HidapiInventory.h"

#include "core/ActionError.h"
#include "device/LocationID.h"

#include <hidapi/hidapi.h>
#include <libudev.h>
#include <unistd.h>

#include <QFileInfo>

#include <memory>

namespace {
struct UdevDeleter {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

struct HidEnumeration {
    hid_device_info* list = nullptr;
    ~HidEnumeration() {
        hid_free_enumeration(list);
        hid_exit();
    }
};

bool readWriteAccess(const QString& path) {
    return !path.isEmpty() && ::access(path.toLocal8Bit().constData(), R_OK | W_OK) == 0;
}

QString sysattr(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

// Fills in the USB side of a hidraw node: bus and port path (the location) and the usbfs node.
void addUsbParent(udev* context, HidInterfaceInfo& info) {
    const QString node = QFileInfo(info.hidPath).fileName();
    std::unique_ptr<udev_device, UdevDeleter> hidraw(
        udev_device_new_from_subsystem_sysname(context, "hidraw", node.toUtf8().constData()));
    if (!hidraw) {
        return;
    }
    // Owned by its child; not unreferenced separately.
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(hidraw.get(), "usb", "usb_device");
    if (!usb) {
        return;
    }
    bool busOk = false;
    const int bus = sysattr(usb, "busnum").toInt(&busOk);
    const auto ports = LocationID::parsePortPath(sysattr(usb, "devpath"));
    if (busOk && ports) {
        info.locationID = LocationID::fromPortPath(bus, *ports);
    }
    if (const char* devnode = udev_device_get_devnode(usb)) {
        info.usbPath = QString::fromUtf8(devnode);
    } else {
        bool devOk = false;
        const int device = sysattr(usb, "devnum").toInt(&devOk);
        if (busOk && devOk) {
            info.usbPath = QString::asprintf("/dev/bus/usb/%03d/%03d", bus, device);
        }
    }
}
}  // namespace

std::vector<HidInterfaceInfo> HidapiInventory::hidInterfaces() {
    if (hid_init() != 0) {
        const wchar_t* reason = hid_error(nullptr);
        throw ActionError::failed(
            QStringLiteral("HID access failed: ") +
            (reason ? QString::fromWCharArray(reason) : QStringLiteral("hidapi could not start")));
    }
    HidEnumeration enumeration;
    // A null list is also hidapi's answer when there is no HID device at all.
    enumeration.list = hid_enumerate(0, 0);

    std::unique_ptr<udev, UdevDeleter> context(udev_new());
    std::vector<HidInterfaceInfo> result;
    for (const hid_device_info* device = enumeration.list; device; device = device->next) {
        HidInterfaceInfo info;
        info.hidPath = QString::fromLocal8Bit(device->path);
        info.vendorID = device->vendor_id;
        info.productID = device->product_id;
        info.usagePage = device->usage_page;
        if (device->serial_number) {
            info.serial = QString::fromWCharArray(device->serial_number);
        }
        if (context) {
            addUsbParent(context.get(), info);
        }
        info.hidAccessible = readWriteAccess(info.hidPath);
        info.usbAccessible = readWriteAccess(info.usbPath);
        result.push_back(std::move(info));
    }
    return result;
}
