#include "device/ImageInterfaceSelection.h"

namespace {
constexpr uint8_t directionIn = 0x80;
constexpr uint8_t endpointNumberMask = 0x0F;
constexpr uint8_t transferTypeMask = 0x03;
constexpr uint8_t transferBulk = 2;
constexpr uint8_t transferInterrupt = 3;
}  // namespace

bool ImageInterfaceSelection::matches_device(const UsbDeviceIdentity& device, uint32_t locationID) {
    if (!device.locationID || *device.locationID != locationID) {
        return false;
    }
    if (device.vendorID != vendorID) {
        return false;
    }
    return device.productID == productID;
}

bool ImageInterfaceSelection::hasImageInterface(
    std::span<const UsbInterfaceDescriptor> interfaces) {
    for (const UsbInterfaceDescriptor& interface : interfaces) {
        if (interface.number == interfaceNumber) {
            return true;
        }
    }
    return false;
}

std::optional<ImageEndpoint> ImageInterfaceSelection::chooseImageEndpoint(
    std::span<const UsbInterfaceDescriptor> interfaces) {
    for (const UsbInterfaceDescriptor& interface : interfaces) {
        if (interface.number != interfaceNumber) {
            continue;
        }
        for (const UsbEndpointDescriptor& endpoint : interface.endpoints) {
            const uint8_t type = endpoint.attributes & transferTypeMask;
            if ((endpoint.address & directionIn) == 0 &&
                (endpoint.address & endpointNumberMask) == endpointNumber &&
                (type == transferBulk || type == transferInterrupt)) {
                return ImageEndpoint{interface.number, interface.alternate, endpoint.address,
                                     type == transferBulk};
            }
        }
    }
    return std::nullopt;
}
