#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Raw USB descriptors as sysfs keeps them in a device's "descriptors" file, which libusb reads
// instead of asking the device: the device descriptor, then its one configuration with every
// interface and endpoint. Pure; any thread.
struct UsbDescriptors {
    struct Endpoint {
        uint8_t address = 0;     // bEndpointAddress
        uint8_t attributes = 0;  // bmAttributes: 2 bulk, 3 interrupt
    };

    // A hub with its one interrupt endpoint.
    static QByteArray hub();

    // A pad: interface 0 is HID with an interrupt IN endpoint; interface 1, when there is one,
    // is vendor-specific with `imageEndpoints` in that order, and with `alternateEndpoints` in
    // an alternate setting 1 unless that list is empty.
    static QByteArray pad(int vendorID, int productID, bool imageInterface,
                          const std::vector<Endpoint>& imageEndpoints,
                          const std::vector<Endpoint>& alternateEndpoints);
};
