#pragma once

#include "device/UsbStatus.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The DisplayPad's second USB interface, through which key pixels are streamed outside HID.
// An instance is an open, exclusively held interface with its output endpoint chosen; destroying
// it releases the interface and closes the device. A display session owns it (unique_ptr) and
// uses it from its own serial queue only: calls on one instance must not overlap, and destruction
// must not race a call. Implementations: the libusb backend (device/linux/) and the virtual pads.
class ImageInterface {
public:
    virtual ~ImageInterface() = default;

    // Sends the class request that puts the pad into key-event mode ("Enable key-event mode").
    // Blocks until the device answers or a time-out; returns 0 or a UsbStatus code.
    virtual IOReturn prepare() = 0;

    // One transfer of `length` bytes from `data` on the image endpoint. Blocks until the bytes are
    // taken or a time-out; returns 0 or a UsbStatus code (a short transfer is an error).
    virtual IOReturn write(const uint8_t* data, size_t length) = 0;
};

// Finds and opens DisplayPad image interfaces, and re-enumerates a pad. One instance serves every
// pad of the process; its methods may be called from any thread, also concurrently (sessions open
// from their queues while recovery re-enumerates on the main thread). The returned interfaces may
// outlive calls but not the PadUsb that made them.
class PadUsb {
public:
    virtual ~PadUsb() = default;

    // Opens the image interface of the DisplayPad at `locationID`. Returns the interface, or null
    // with `error` set when opening a matching interface failed. When nothing matched, `error` is
    // left untouched; mountain_open() turns that into UsbStatus::notFound.
    virtual std::unique_ptr<ImageInterface> open(uint32_t locationID, IOReturn& error) = 0;

    // Makes the whole DisplayPad at `locationID` drop off the bus and enumerate again; every open
    // interface of it becomes useless. Returns 0 or a UsbStatus code (notFound when no such pad).
    virtual IOReturn reenumerate(uint32_t locationID) = 0;
};
