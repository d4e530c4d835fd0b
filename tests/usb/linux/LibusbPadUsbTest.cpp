#include "device/DisplayPadProtocol.h"
#include "device/MountainUsb.h"
#include "device/UsbStatus.h"
#include "device/linux/LibusbPadUsb.h"
#include "support/TestSupport.h"
#include "support/umockdev/PadTestbed.h"

#include <linux/usbdevice_fs.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <thread>

namespace usbtest {
using RealPadUsb = ::LibusbPadUsb;
using Request = PadTestbed::Request;

namespace {
constexpr uint32_t padLocation = 0x01230000;  // bus 1, ports 2.3: the testbed's default

// "claim 1,alternate 1,..." for the requests that change the device.
QString names(const std::vector<Request>& requests) {
    QStringList result;
    for (const Request& request : requests) {
        result << request.name +
                      (request.interface >= 0 ? QStringLiteral(" %1").arg(request.interface) : "");
    }
    return result.join(u',');
}

QByteArray chunk(int seed) {
    QByteArray bytes(DisplayPadProtocol::chunkSize, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    }
    return bytes;
}

IOReturn writeChunk(ImageInterface* handle, const QByteArray& bytes) {
    return mountain_write(handle, reinterpret_cast<const uint8_t*>(bytes.constData()),
                          size_t(bytes.size()));
}
}  // namespace

// The testbed outlives every libusb context a test makes; each test adds its devices before
// making the context, since libusb reads the bus when it starts.
class LibusbPadUsb : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PadTestbed::preloaded()) << "run under umockdev-wrapper"; }
    // A request the fake kernel does not know would be answered with ENOTTY, which libusb may
    // take as an old kernel and work around: the tests would then miss the real path.
    void TearDown() override { EXPECT_TRUE(testbed.unknownRequests().empty()); }

    std::unique_ptr<ImageInterface> open(uint32_t location = padLocation) {
        usb = std::make_unique<RealPadUsb>();
        error = UsbStatus::error;
        return mountain_open(*usb, location, error);
    }

    PadTestbed testbed;
    std::unique_ptr<RealPadUsb> usb;
    IOReturn error = UsbStatus::error;
};

TEST_F(LibusbPadUsb, AnythingButAPadWithAnImageEndpointAtTheLocationIsNotFound) {
    testbed.addUsb({});
    const QString otherDevice =
        testbed.addUsb({.devpath = "5", .vendorID = 0x0B00, .productID = 0x1001});
    const QString noInterface = testbed.addUsb({.devpath = "6", .imageInterface = false});
    // Endpoint 2 inward, endpoint 3 outward, endpoint 2 outward but isochronous.
    const QString noEndpoint = testbed.addUsb(
        {.devpath = "7", .imageEndpoints = {{0x82, 0x02}, {0x03, 0x02}, {0x02, 0x01}}});
    for (uint32_t location : {0x01240000u, 0x02230000u, 0x01500000u, 0x01600000u, 0x01700000u}) {
        SCOPED_TRACE(location);
        EXPECT_EQ(open(location), nullptr);
        EXPECT_EQ(error, UsbStatus::notFound);
    }
    // Only the pad whose interface had to be looked at was touched, and it was given back.
    EXPECT_EQ(testbed.requests().size(), testbed.requests(noEndpoint).size());
    EXPECT_TRUE(names(testbed.requests(noEndpoint)).startsWith("claim 1,release 1"));
    EXPECT_NE(testbed.driver(noEndpoint, 1), "usbfs");
}

TEST_F(LibusbPadUsb, OpenFailuresGiveTheirCodeAndReleaseTheInterface) {
    const QString refused = testbed.addUsb({.imageEndpoints = {}, .alternateEndpoints = {{2, 2}}});
    testbed.setBehaviour({.alternateErrno = ENODEV});
    EXPECT_EQ(open(), nullptr);
    EXPECT_EQ(error, UsbStatus::noDevice);
    EXPECT_TRUE(names(testbed.requests(refused)).startsWith("claim 1,alternate 1,release 1"));
    EXPECT_NE(testbed.driver(refused, 1), "usbfs");

    // A node that cannot be opened is that failure, not "not found".
    testbed.removeNode(testbed.addUsb({.devpath = "4"}));
    EXPECT_EQ(open(0x01400000), nullptr);
    EXPECT_EQ(error, UsbStatus::noDevice);
}

// The image interface is held exclusively until closed; then its kernel driver gets it back.
TEST_F(LibusbPadUsb, KernelDriverOfTheImageInterfaceGetsItBackOnClose) {
    const QString node = testbed.addUsb({.driver1 = "usbhid"});
    auto handle = open();
    ASSERT_NE(handle, nullptr) << UsbStatus::hex(error).toStdString();
    EXPECT_EQ(names(testbed.requests(node)), "claim 1");
    EXPECT_EQ(testbed.driver(node, 1), "usbfs");
    RealPadUsb second;
    EXPECT_EQ(mountain_open(second, padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
    // The handle keeps working after the PadUsb that opened it is gone.
    usb.reset();
    EXPECT_EQ(writeChunk(handle.get(), chunk(2)), UsbStatus::success);
    testbed.clearRequests();
    mountain_close(handle);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(names(testbed.requests(node)), "release 1,connect 1");
    EXPECT_EQ(testbed.driver(node, 1), "usbhid");
    EXPECT_NE(open(), nullptr) << "free again for the next session";
}

// SET_REPORT of output report 3 to the first interface switches the pad to key events.
TEST_F(LibusbPadUsb, KeyEventRequestGoesToTheFirstInterface) {
    const QString node = testbed.addUsb({});
    auto handle = open();
    ASSERT_NE(handle, nullptr);
    for (const auto& [urbStatus, expected] :
         {std::pair{0, UsbStatus::success}, std::pair{-EPIPE, UsbStatus::pipeStalled}}) {
        testbed.clearRequests();
        testbed.setBehaviour({.urbStatus = urbStatus});
        EXPECT_EQ(mountain_prepare(handle.get()), expected);
        const std::vector<Request> sent = testbed.requests(node, "urb");
        ASSERT_EQ(sent.size(), 1u);
        // Setup packet (type, request, value, index, length; little-endian) and the two bytes.
        EXPECT_EQ(
            std::tuple(sent[0].urbType, sent[0].endpoint, sent[0].data),
            std::tuple(USBDEVFS_URB_TYPE_CONTROL, 0, hexBytes("21 09 03 02 00 00 02 00 03 01")));
    }
}

// Chunks go out whole on endpoint 2, bulk or interrupt, in order, each pad's own even when two
// sessions open and write from their own queues at once, sharing the one context.
TEST_F(LibusbPadUsb, WritesGoOutAsWholeChunksOnEndpointTwoInOrder) {
    const QString bulk = testbed.addUsb({});
    const QString interrupt =
        testbed.addUsb({.devpath = "4", .imageEndpoints = {{0x81, 0x03}, {0x02, 0x03}}});
    usb = std::make_unique<RealPadUsb>();
    const auto session = [this](uint32_t location, int seed, IOReturn& result) {
        auto handle = mountain_open(*usb, location, result);
        for (int i = 0; handle && result == UsbStatus::success && i < 31; ++i) {
            result = writeChunk(handle.get(), chunk(seed + i));
        }
    };
    IOReturn bulkResult = UsbStatus::error;
    std::thread other([&] { session(0x01400000, 100, error); });
    session(padLocation, 0, bulkResult);
    other.join();
    EXPECT_EQ(std::tuple(bulkResult, error), std::tuple(UsbStatus::success, UsbStatus::success));
    for (const auto& [node, seed, type] :
         {std::tuple{bulk, 0, USBDEVFS_URB_TYPE_BULK},
          std::tuple{interrupt, 100, USBDEVFS_URB_TYPE_INTERRUPT}}) {
        const std::vector<Request> sent = testbed.requests(node, "urb");
        ASSERT_EQ(sent.size(), 31u) << node.toStdString();
        for (int i = 0; i < 31; ++i) {
            EXPECT_EQ(std::tuple(sent[i].urbType, sent[i].endpoint, sent[i].data),
                      std::tuple(type, 0x02, chunk(seed + i)))
                << node.toStdString() << " chunk " << i;
        }
    }
}

TEST_F(LibusbPadUsb, FailedTransfersGiveTheCodeOfTheirCause) {
    testbed.addUsb({});
    auto handle = open();
    ASSERT_NE(handle, nullptr);
    // The status of a transfer the device took, a short one (the pad would wait for the rest),
    // and the handle working again once the device takes data.
    const std::pair<PadTestbed::Behaviour, IOReturn> cases[] = {
        {{.urbStatus = -EPIPE}, UsbStatus::pipeStalled},
        {{.urbStatus = -ESHUTDOWN}, UsbStatus::noDevice},
        {{.urbShortBy = 24}, UsbStatus::ioError},
        {{}, UsbStatus::success},
    };
    for (const auto& [behaviour, expected] : cases) {
        testbed.setBehaviour(behaviour);
        EXPECT_EQ(writeChunk(handle.get(), chunk(0)), expected)
            << UsbStatus::hex(expected).toStdString();
    }
}

TEST_F(LibusbPadUsb, ReenumerateUnbindsDriversResetsAndBindsThemAgain) {
    const struct {
        QByteArray driver1;  // interface 0 always has one
        PadTestbed::Behaviour behaviour;
        IOReturn expected;
        const char* requests;  // exact, unless `exact` is false: then included
        bool exact = true;
    } cases[] = {
        {{}, {}, UsbStatus::success, "disconnect 0,reset,connect 0"},  // no driver: left alone
        // libusb folds every reset failure but a vanished device into one general error.
        {{}, {.resetErrno = EIO}, UsbStatus::error, "disconnect 0,reset,connect 0"},
        // The pad enumerates anew after the reset.
        {{}, {.resetErrno = ENODEV}, UsbStatus::success, "reset", false},
        // A driver that left before its unbind.
        {{}, {.disconnectErrno = ENODATA}, UsbStatus::success, "reset", false},
        // A failed unbind stops before the reset and binds the others again.
        {"usbhid",
         {.disconnectErrno = ENODEV, .disconnectFailsFrom = 1},
         UsbStatus::noDevice,
         "disconnect 0,disconnect 1,connect 0"},
    };
    std::vector<QString> nodes;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        nodes.push_back(
            testbed.addUsb({.devpath = QString::number(i + 1), .driver1 = cases[i].driver1}));
    }
    RealPadUsb padUsb;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.requests);
        testbed.setBehaviour(c.behaviour);
        EXPECT_EQ(mountain_reenumerate(padUsb, 0x01000000u | uint32_t(i + 1) << 20), c.expected);
        const QString seen = names(testbed.requests(nodes[i]));
        if (c.exact) {
            EXPECT_EQ(seen, c.requests);
            EXPECT_EQ(testbed.driver(nodes[i], 0), "usbhid");
            EXPECT_EQ(testbed.driver(nodes[i], 1), c.driver1);
        } else {
            EXPECT_TRUE(seen.contains(c.requests)) << seen.toStdString();
        }
    }
    // A pad it cannot reach is not found, or that failure.
    EXPECT_EQ(mountain_reenumerate(padUsb, 0x01f00000), UsbStatus::notFound);
    testbed.clearRequests();
    testbed.removeNode(nodes[0]);
    RealPadUsb afterRemoval;
    EXPECT_EQ(mountain_reenumerate(afterRemoval, 0x01100000), UsbStatus::noDevice);
    EXPECT_TRUE(testbed.requests().empty());
}
}  // namespace usbtest
