#pragma once

#include "device/ImageInterface.h"

#include <memory>

struct libusb_context;

// PadUsb over libusb-1.0 (Linux usbfs). Owns its libusb context; the image interfaces it opens
// share that context, so they stay valid even if they outlive this object. Every method may be
// called from any thread. Needs read/write access to /dev/bus/usb/BBB/DDD (the udev rules grant
// it); without it open() reports UsbStatus::notPermitted.
class LibusbPadUsb : public PadUsb {
public:
    LibusbPadUsb();
    ~LibusbPadUsb() override;

    // Finds the DisplayPad whose bus and port path give `locationID`, claims its interface 1
    // (taking it from a kernel driver if one is bound, and handing it back on close) and picks
    // its OUT endpoint 2. Failures of libusb are reported in `error` with the UsbStatus code of
    // the same meaning; if libusb itself could not start, that failure is reported.
    std::unique_ptr<ImageInterface> open(uint32_t locationID, IOReturn& error) override;

    // Unbinds the kernel drivers of every interface, resets the device on its port and binds the
    // drivers again, so the pad's HID interface disappears and attaches again as after a replug.
    IOReturn reenumerate(uint32_t locationID) override;

private:
    std::shared_ptr<libusb_context> context_;
    IOReturn initError_ = UsbStatus::success;
};
