#include "device/MountainUsb.h"

#include <new>

std::unique_ptr<ImageInterface> mountain_open(PadUsb& usb, uint32_t locationID, IOReturn& error) {
    // Each call reports its own outcome: a failure code left over from an earlier try must not
    // hide that this time nothing matched at all.
    error = UsbStatus::success;
    std::unique_ptr<ImageInterface> handle;
    try {
        handle = usb.open(locationID, error);
    } catch (const std::bad_alloc&) {
        error = UsbStatus::noMemory;
        return nullptr;
    }
    if (handle) {
        error = UsbStatus::success;
    } else if (error == UsbStatus::success) {
        error = UsbStatus::notFound;
    }
    return handle;
}

IOReturn mountain_prepare(ImageInterface* handle) {
    if (!handle) {
        return UsbStatus::notOpen;
    }
    return handle->prepare();
}

IOReturn mountain_write(ImageInterface* handle, const uint8_t* data, size_t length) {
    if (!handle) {
        return UsbStatus::notOpen;
    }
    if (!data && length > 0) {
        return UsbStatus::badArgument;
    }
    return handle->write(data, length);
}

void mountain_close(std::unique_ptr<ImageInterface>& handle) {
    handle.reset();
}

IOReturn mountain_reenumerate(PadUsb& usb, uint32_t locationID) {
    try {
        return usb.reenumerate(locationID);
    } catch (const std::bad_alloc&) {
        return UsbStatus::noMemory;
    }
}
