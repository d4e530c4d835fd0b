#pragma once

#include "device/DeviceKind.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// One HID interface of an attached device, as the system lists it, with what is known about the
// USB device it belongs to.
struct HidInterfaceInfo {
    QString hidPath;  // the node reports are read from, e.g. /dev/hidraw3
    int vendorID = 0;
    int productID = 0;
    int usagePage = 0;                   // primary usage page of the interface
    std::optional<QString> serial;       // absent when the device reports none
    std::optional<uint32_t> locationID;  // absent when the USB port path is unknown
    QString usbPath;                     // e.g. /dev/bus/usb/001/007; empty when unknown
    bool hidAccessible = false;          // this user may open hidPath for reading and writing
    bool usbAccessible = false;          // the same for usbPath
};

// Lists the HID interfaces currently attached. Implementations: hidapi + udev (device/linux/).
// Called on the main thread; blocks for as long as the system takes to list its devices.
// Throws ActionError when the system's HID access cannot be used at all.
class HidInventory {
public:
    virtual ~HidInventory() = default;
    virtual std::vector<HidInterfaceInfo> hidInterfaces() = 0;
};

// A supported pad found among the HID interfaces.
struct AttachedPad {
    DeviceKind kind;
    QString id;                          // DeviceKind::identity of serial and location
    std::optional<uint32_t> locationID;  // as listed; the id uses 0 when it is unknown
    std::optional<QString> serial;
    QString hidPath;
    QString usbPath;
    bool hidAccessible = false;
    bool usbAccessible = false;
};

struct PadInventory {
    // The interfaces that belong to a supported pad: USB ids of a DeviceKind and that kind's usage
    // page. Other interfaces of the same pad, and a second collection of one interface, are
    // skipped, so each pad appears once. Order is kept.
    static std::vector<AttachedPad> supportedPads(const std::vector<HidInterfaceInfo>& interfaces);
};
