#include "device/MountainUsb.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

namespace {
// A pad whose image interface keeps what it was sent.
struct Received {
    int prepares = 0;
    std::vector<std::vector<uint8_t>> writes;
    bool closed = false;
};

class RecordingInterface : public ImageInterface {
public:
    RecordingInterface(Received& received, IOReturn result)
        : received_(received), result_(result) {}
    ~RecordingInterface() override { received_.closed = true; }
    IOReturn prepare() override {
        ++received_.prepares;
        return result_;
    }
    IOReturn write(const uint8_t* data, size_t length) override {
        received_.writes.emplace_back(data, data + length);
        return result_;
    }

private:
    Received& received_;
    IOReturn result_;
};

// What the USB layer finds: a pad at one location, optionally failing to open.
class OneVirtualPad : public PadUsb {
public:
    uint32_t location = 0x01230000;
    IOReturn openFailure = 0;
    IOReturn ioResult = 0;
    bool outOfMemory = false;
    std::vector<uint32_t> reenumerated;
    Received received;

    std::unique_ptr<ImageInterface> open(uint32_t locationID, IOReturn& error) override {
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        if (locationID != location) {
            return nullptr;
        }
        if (openFailure != 0) {
            error = openFailure;
            return nullptr;
        }
        return std::make_unique<RecordingInterface>(received, ioResult);
    }
    IOReturn reenumerate(uint32_t locationID) override {
        if (locationID != location) {
            return UsbStatus::notFound;
        }
        reenumerated.push_back(locationID);
        return 0;
    }
};
}  // namespace

TEST(MountainUsb, OpenAtThePadsLocationSucceedsWithZero) {
    OneVirtualPad usb;
    IOReturn error = UsbStatus::ioError;
    auto handle = mountain_open(usb, 0x01230000, error);
    EXPECT_TRUE(handle);
    EXPECT_EQ(error, 0u);
}

TEST(MountainUsb, NothingAtTheLocationIsNotFound) {
    OneVirtualPad usb;
    IOReturn error = 0;
    EXPECT_FALSE(mountain_open(usb, 0x01240000, error));
    EXPECT_EQ(error, UsbStatus::notFound);
    EXPECT_EQ(UsbStatus::hex(error), "0xe00002f0");
}

TEST(MountainUsb, FailedOpenKeepsItsOwnCode) {
    OneVirtualPad usb;
    usb.openFailure = UsbStatus::exclusiveAccess;
    IOReturn error = 0;
    EXPECT_FALSE(mountain_open(usb, 0x01230000, error));
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
}

TEST(MountainUsb, EarlierFailureInTheCellDoesNotMaskNotFound) {
    OneVirtualPad usb;
    IOReturn error = UsbStatus::exclusiveAccess;
    EXPECT_FALSE(mountain_open(usb, 0x0f000000, error));
    EXPECT_EQ(error, UsbStatus::notFound);
}

TEST(MountainUsb, RunningOutOfMemoryIsReportedAsNoMemory) {
    OneVirtualPad usb;
    usb.outOfMemory = true;
    IOReturn error = 0;
    EXPECT_FALSE(mountain_open(usb, 0x01230000, error));
    EXPECT_EQ(error, UsbStatus::noMemory);
}

TEST(MountainUsb, NullHandleIsNotOpen) {
    const uint8_t byte = 0;
    EXPECT_EQ(mountain_prepare(nullptr), UsbStatus::notOpen);
    EXPECT_EQ(mountain_write(nullptr, &byte, 1), UsbStatus::notOpen);
    std::unique_ptr<ImageInterface> none;
    mountain_close(none);
    EXPECT_FALSE(none);
}

TEST(MountainUsb, PrepareWriteAndCloseReachTheInterface) {
    OneVirtualPad usb;
    IOReturn error = 0;
    auto handle = mountain_open(usb, 0x01230000, error);
    ASSERT_TRUE(handle);
    EXPECT_EQ(mountain_prepare(handle.get()), 0u);
    const std::vector<uint8_t> chunk = {1, 2, 3, 4};
    EXPECT_EQ(mountain_write(handle.get(), chunk.data(), chunk.size()), 0u);
    EXPECT_EQ(usb.received.prepares, 1);
    ASSERT_EQ(usb.received.writes.size(), 1u);
    EXPECT_EQ(usb.received.writes[0], chunk);
    mountain_close(handle);
    EXPECT_FALSE(handle);
    EXPECT_TRUE(usb.received.closed);
}

TEST(MountainUsb, TransferFailureCodeIsPassedThrough) {
    OneVirtualPad usb;
    usb.ioResult = UsbStatus::timeout;
    IOReturn error = 0;
    auto handle = mountain_open(usb, 0x01230000, error);
    const uint8_t byte = 0;
    EXPECT_EQ(mountain_write(handle.get(), &byte, 1), UsbStatus::timeout);
    EXPECT_EQ(mountain_prepare(handle.get()), UsbStatus::timeout);
}

TEST(MountainUsb, WriteWithoutDataIsRejectedBeforeTheDevice) {
    OneVirtualPad usb;
    IOReturn error = 0;
    auto handle = mountain_open(usb, 0x01230000, error);
    EXPECT_EQ(mountain_write(handle.get(), nullptr, 1024), UsbStatus::badArgument);
    EXPECT_TRUE(usb.received.writes.empty());
}

TEST(MountainUsb, ReenumerateReportsTheBackendsResult) {
    OneVirtualPad usb;
    EXPECT_EQ(mountain_reenumerate(usb, 0x01230000), 0u);
    EXPECT_EQ(mountain_reenumerate(usb, 0x01240000), UsbStatus::notFound);
    EXPECT_EQ(usb.reenumerated, std::vector<uint32_t>{0x01230000});
}
