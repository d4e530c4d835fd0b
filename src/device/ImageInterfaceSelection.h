#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Which USB device and which endpoint carry a DisplayPad's pixel data, decided over plain
// descriptor values so that the choice is testable without a device. Pure; any thread.

// What identifies a USB device on the bus: its location id (absent when its port path could not
// be read) and its vendor and product ids.
struct UsbDeviceIdentity {
    std::optional<uint32_t> locationID;
    int vendorID = 0;
    int productID = 0;
};

struct UsbEndpointDescriptor {
    uint8_t address = 0;     // bEndpointAddress: bit 7 = IN, bits 0-3 = endpoint number
    uint8_t attributes = 0;  // bmAttributes: bits 0-1 = transfer type
};

struct UsbInterfaceDescriptor {
    int number = 0;     // bInterfaceNumber
    int alternate = 0;  // bAlternateSetting
    std::vector<UsbEndpointDescriptor> endpoints;
};

// The endpoint chosen for pixel data and the interface setting it belongs to.
struct ImageEndpoint {
    int interfaceNumber = 0;
    int alternate = 0;
    uint8_t address = 0;
    bool bulk = false;  // otherwise interrupt
};

struct ImageInterfaceSelection {
    // The pad's image interface and the endpoint it streams pixels to.
    static constexpr int interfaceNumber = 1;
    static constexpr int endpointNumber = 2;
    // The raw USB layer works below HID, so it repeats the DisplayPad's ids here;
    // DeviceKind::mountain holds the same numbers (a test keeps them equal).
    static constexpr int vendorID = 0x3282;
    static constexpr int productID = 0x0009;

    // True when the device is the DisplayPad at `locationID`: location, vendor and product are
    // compared in that order, and a device whose location is unknown never matches.
    static bool matches_device(const UsbDeviceIdentity& device, uint32_t locationID);

    // Whether the configuration has an interface numbered 1 at all (a device without one is
    // skipped without reporting an error).
    static bool hasImageInterface(std::span<const UsbInterfaceDescriptor> interfaces);

    // The first OUT endpoint number 2 of transfer type bulk or interrupt on interface 1, scanning
    // its alternate settings and their endpoints in descriptor order; no value when there is none.
    static std::optional<ImageEndpoint> chooseImageEndpoint(
        std::span<const UsbInterfaceDescriptor> interfaces);
};
