#include "device/MountainUsb.h"

#include <gtest/gtest.h>

#include <new>

// The paths the real and virtual backends cannot show: running out of memory while opening, a
// null handle, null data. Everything else goes through them in tests/usb and tests/sessions.
TEST(MountainUsb, MisuseAndMemoryShortageGiveTheirCodes) {
    struct CountingInterface : ImageInterface {
        IOReturn prepare() override { return 0; }
        IOReturn write(const uint8_t*, size_t) override { return ++writes, 0; }
        int writes = 0;
    } interface;
    struct OutOfMemory : PadUsb {
        std::unique_ptr<ImageInterface> open(uint32_t, IOReturn&) override {
            throw std::bad_alloc();
        }
        IOReturn reenumerate(uint32_t) override { return 0; }
    } usb;
    IOReturn error = 0;
    EXPECT_FALSE(mountain_open(usb, 0x01230000, error));
    EXPECT_EQ(error, UsbStatus::noMemory);

    const uint8_t byte = 0;
    EXPECT_EQ(mountain_prepare(nullptr), UsbStatus::notOpen);
    EXPECT_EQ(mountain_write(nullptr, &byte, 1), UsbStatus::notOpen);
    EXPECT_EQ(mountain_write(&interface, nullptr, 1024), UsbStatus::badArgument);
    EXPECT_EQ(interface.writes, 0) << "rejected before the device";
    EXPECT_EQ(mountain_write(&interface, &byte, 1), 0u);
    std::unique_ptr<ImageInterface> none;
    mountain_close(none);
    EXPECT_FALSE(none);
}
