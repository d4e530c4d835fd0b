#pragma once

#include "device/UsbStatus.h"

// The UsbStatus code of the same meaning as a libusb result (a libusb_error value, or a
// negative return of a libusb call); 0 for success and for positive byte counts.
IOReturn usbStatusFromLibusb(int libusbResult);
