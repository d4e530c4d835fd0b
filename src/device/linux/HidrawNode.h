#pragma once

#include "device/HidDevice.h"

#include <QString>

#include <optional>
#include <vector>

struct udev_device;

// What sysfs and hidapi tell about one hidraw node of a USB HID interface. Main thread
// (hidapi's enumeration is not thread-safe).
struct HidrawNode {
    QString syspath;  // the hidraw device in sysfs; identifies the node across add and remove
    QString devnode;  // /dev/hidrawN
    int vendorID = 0;
    int productID = 0;
    // The primary usage page of each top-level collection of the interface, in descriptor order.
    std::vector<int> usagePages;
    std::optional<QString> serialNumber;  // absent when the device reports none (or an empty one)
    std::optional<uint32_t> locationID;   // absent when the USB bus or port path is unknown

    // Node, ids and USB location from udev, without touching hidapi. No value for a node that is
    // not a USB HID interface or has no device node.
    static std::optional<HidrawNode> fromUdev(udev_device* hidraw);

    // Fills in the usage pages and serial number from hidapi's view of the same node.
    void addHidapiDetails();

    // The properties a HidManager reports when this node matched with `usagePage`.
    HidDeviceInfo info(int usagePage) const;
};
