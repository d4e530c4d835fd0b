#pragma once

#include "device/UsbStatus.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// What the HID layer tells about an attached pad interface. The names keep the meaning of the
// usual HID device properties (VendorID, ProductID, PrimaryUsagePage, LocationID, SerialNumber).
struct HidDeviceInfo {
    int vendorID = 0;
    int productID = 0;
    int primaryUsagePage = 0;
    // USB location: bus in the top 8 bits, then one hexadecimal digit per port from the root.
    // Absent when the device's USB position could not be read.
    std::optional<uint32_t> locationID;
    std::optional<QString> serialNumber;
    // Where the device lives, for messages: a hidraw node such as /dev/hidraw3, or the name of a
    // virtual pad.
    QString path;
};

// One attached HID interface of a pad: the "device reference" that connections, sessions and
// the store compare by identity (the address of this object). Shared by whoever holds it; the
// manager keeps it until the device is removed.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // Fixed for the life of the object. Any thread.
    virtual const HidDeviceInfo& info() const = 0;

    // Sends one output report with report id 0 followed by `report` exactly as given (callers pad
    // it to the size their pad expects: 64 bytes for the DisplayPad, 1024 for the MSD-TWO).
    // Called from a display session's queue; blocks until the report was handed to the device.
    // Returns 0 on success, otherwise an IOKit-style status code of the USB status table (for
    // example 0xe00002c0 when the device is gone). Never throws.
    virtual uint32_t setOutputReport(const QByteArray& report) = 0;

    // Sends output report `reportID` (1...255): the id, then `data`. Unlike setOutputReport this
    // goes through the HID driver's own request for a numbered output report, so the report
    // reaches the device even while the kernel's HID driver holds the interface (on Linux the
    // hidraw request HIDIOCSOUTPUT: the kernel sends the report on the interface's interrupt
    // OUT endpoint, or as a SET_REPORT control request when the interface has none).
    // Called from a display session's queue; blocks until the device took the report. Returns 0;
    // UsbStatus::unsupported when this device or the kernel has no such request (the caller may
    // try another way); otherwise a status code. Never throws.
    virtual uint32_t setNumberedOutputReport(uint8_t reportID, const QByteArray& data) {
        (void)reportID;
        (void)data;
        return UsbStatus::unsupported;
    }
};
