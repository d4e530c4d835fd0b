#pragma once

#include "device/PadInventory.h"

// HidInventory over hidapi (hidraw backend) and libudev: hidapi lists the HID interfaces with
// their usage pages and serial numbers, udev gives each one's USB device (bus, port path, node).
// Main thread only (hidapi's enumeration is not thread-safe).
class HidapiInventory : public HidInventory {
public:
    // Throws ActionError "HID access failed: <reason>" when hidapi cannot start.
    std::vector<HidInterfaceInfo> hidInterfaces() override;
};
