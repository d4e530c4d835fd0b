#include "device/linux/LibusbStatus.h"

#include <libusb.h>

IOReturn usbStatusFromLibusb(int libusbResult) {
    if (libusbResult >= 0) {
        return UsbStatus::success;
    }
    switch (libusbResult) {
        case LIBUSB_ERROR_IO:
            return UsbStatus::ioError;
        case LIBUSB_ERROR_INVALID_PARAM:
            return UsbStatus::badArgument;
        case LIBUSB_ERROR_ACCESS:
            return UsbStatus::notPermitted;
        case LIBUSB_ERROR_NO_DEVICE:
            return UsbStatus::noDevice;
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbStatus::notFound;
        case LIBUSB_ERROR_BUSY:
            return UsbStatus::exclusiveAccess;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbStatus::timeout;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbStatus::overrun;
        case LIBUSB_ERROR_PIPE:
            return UsbStatus::pipeStalled;
        case LIBUSB_ERROR_INTERRUPTED:
            return UsbStatus::aborted;
        case LIBUSB_ERROR_NO_MEM:
            return UsbStatus::noMemory;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return UsbStatus::unsupported;
        default:
            return UsbStatus::error;
    }
}
