#include "device/linux/LibusbStatus.h"

#include <libusb.h>

#include <gtest/gtest.h>

TEST(LibusbStatus, LibusbErrorsBecomeCodesOfTheSameMeaning) {
    const std::pair<int, IOReturn> cases[] = {{LIBUSB_SUCCESS, 0},
                                              {1024, 0},  // a byte count is success
                                              {LIBUSB_ERROR_NOT_FOUND, 0xe00002f0},
                                              {LIBUSB_ERROR_NO_MEM, 0xe00002bd},
                                              {LIBUSB_ERROR_NOT_SUPPORTED, 0xe00002c7},
                                              {LIBUSB_ERROR_ACCESS, 0xe00002e2},
                                              {LIBUSB_ERROR_BUSY, 0xe00002c5},
                                              {LIBUSB_ERROR_NO_DEVICE, 0xe00002c0},
                                              {LIBUSB_ERROR_TIMEOUT, 0xe00002d6},
                                              {LIBUSB_ERROR_IO, 0xe00002ca},
                                              {LIBUSB_ERROR_OVERFLOW, UsbStatus::overrun},
                                              {LIBUSB_ERROR_PIPE, UsbStatus::pipeStalled},
                                              {LIBUSB_ERROR_OTHER, UsbStatus::error},
                                              {-1000, UsbStatus::error}};
    for (const auto& [libusb, expected] : cases) {
        EXPECT_EQ(usbStatusFromLibusb(libusb), expected) << libusb;
    }
}
