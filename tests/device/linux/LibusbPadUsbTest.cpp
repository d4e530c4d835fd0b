#include "device/MountainUsb.h"
#include "device/linux/LibusbPadUsb.h"
#include "device/linux/LibusbStatus.h"

#include <libusb.h>

#include <gtest/gtest.h>

TEST(LibusbPadUsb, LibusbErrorsBecomeCodesOfTheSameMeaning) {
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_SUCCESS), 0u);
    EXPECT_EQ(usbStatusFromLibusb(1024), 0u) << "a byte count is success";
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_NOT_FOUND), 0xe00002f0u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_NO_MEM), 0xe00002bdu);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_NOT_SUPPORTED), 0xe00002c7u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_ACCESS), 0xe00002e2u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_BUSY), 0xe00002c5u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_NO_DEVICE), 0xe00002c0u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_TIMEOUT), 0xe00002d6u);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_IO), 0xe00002cau);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_PIPE), UsbStatus::pipeStalled);
    EXPECT_EQ(usbStatusFromLibusb(LIBUSB_ERROR_OTHER), UsbStatus::error);
    EXPECT_EQ(usbStatusFromLibusb(-1000), UsbStatus::error);
}

// Nothing sits at this location (bus 127, seven digits of ports) on any machine the tests run
// on; a missing pad must read as "not found", not as success or a stale code.
TEST(LibusbPadUsb, AbsentPadIsNotFound) {
    LibusbPadUsb usb;
    IOReturn error = UsbStatus::exclusiveAccess;
    auto handle = mountain_open(usb, 0x7f654321, error);
    EXPECT_FALSE(handle);
    EXPECT_EQ(error, UsbStatus::notFound) << UsbStatus::hex(error).toStdString();
    EXPECT_EQ(mountain_reenumerate(usb, 0x7f654321), UsbStatus::notFound);
}
