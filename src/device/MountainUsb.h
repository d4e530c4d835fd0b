#pragma once

#include "device/ImageInterface.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The image-interface calls of a DisplayPad session, with the result conventions callers rely
// on. They run on the calling thread and block for as long as the USB operation does (the
// session calls them from its serial queue; recovery calls mountain_reenumerate on the main
// thread). They never throw, log or retry.

// Opens the image interface of the pad at `locationID` through `usb`. On success returns the
// handle and sets `error` to 0. On failure returns null with `error` set to the code of the
// failed open, or to UsbStatus::notFound when no matching interface was found at all, or to
// UsbStatus::noMemory when memory ran out.
std::unique_ptr<ImageInterface> mountain_open(PadUsb& usb, uint32_t locationID, IOReturn& error);

// Sends "Enable key-event mode". A null handle gives UsbStatus::notOpen.
IOReturn mountain_prepare(ImageInterface* handle);

// Writes `length` bytes in one transfer. A null handle gives UsbStatus::notOpen; null data with a
// non-zero length gives UsbStatus::badArgument.
IOReturn mountain_write(ImageInterface* handle, const uint8_t* data, size_t length);

// Releases the interface and clears the handle. A null handle: nothing.
void mountain_close(std::unique_ptr<ImageInterface>& handle);

// Re-enumerates the pad at `locationID`; 0 or a UsbStatus code.
IOReturn mountain_reenumerate(PadUsb& usb, uint32_t locationID);
