#include "UsbPadTestbed.h"
#include "device/DisplayPadProtocol.h"
#include "device/MountainUsb.h"
#include "device/UsbStatus.h"
#include "device/linux/LibusbPadUsb.h"
#include "support/TestSupport.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <thread>
#include <utility>

namespace usbtest {
using RealPadUsb = ::LibusbPadUsb;
using Request = UsbPadTestbed::Request;

namespace {
// Bus 1, ports 2.3: where the testbed puts a pad unless told otherwise.
constexpr uint32_t padLocation = 0x01230000;

QStringList names(const std::vector<Request>& requests) {
    QStringList result;
    for (const Request& request : requests) {
        result << request.name + (request.interface >= 0
                                      ? QStringLiteral(" %1").arg(request.interface)
                                      : QString());
    }
    return result;
}

std::vector<Request> urbs(const std::vector<Request>& requests) {
    std::vector<Request> result;
    for (const Request& request : requests) {
        if (request.name == u"urb") {
            result.push_back(request);
        }
    }
    return result;
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
                          static_cast<size_t>(bytes.size()));
}
}  // namespace

// The testbed is declared first so that it outlives every libusb context a test makes; each test
// adds its devices before making the context, since libusb reads the bus when it starts.
class LibusbPadUsb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UsbPadTestbed::preloaded()) << "run this test under umockdev-wrapper";
    }

    void TearDown() override {
        // A request the fake kernel does not know would be answered with ENOTTY, which libusb
        // may take as an old kernel and work around: the tests would then miss the real path.
        EXPECT_TRUE(testbed.unknownRequests().empty());
    }

    // Opens the pad at `location` through a new context, which the test keeps.
    std::unique_ptr<ImageInterface> open(uint32_t location, IOReturn& error) {
        usb = std::make_unique<RealPadUsb>();
        return mountain_open(*usb, location, error);
    }

    UsbPadTestbed testbed;
    std::unique_ptr<RealPadUsb> usb;
};

// Opening

TEST_F(LibusbPadUsb, OpensThePadAtItsLocationByClaimingInterfaceOne) {
    const QString node = testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr) << UsbStatus::hex(error).toStdString();
    EXPECT_EQ(error, UsbStatus::success);
    EXPECT_EQ(names(testbed.requests(node)), QStringList{QStringLiteral("claim 1")});
    EXPECT_EQ(testbed.driver(node, 1), "usbfs");
    EXPECT_TRUE(testbed.unknownRequests().empty());
}

TEST_F(LibusbPadUsb, PadElsewhereIsNotFoundAndLeftAlone) {
    testbed.add({});
    IOReturn error = UsbStatus::error;
    // Another port on the same bus, the same ports on another bus, and the parent hub.
    for (uint32_t location : {0x01240000u, 0x02230000u, 0x01200000u}) {
        EXPECT_EQ(open(location, error), nullptr);
        EXPECT_EQ(error, UsbStatus::notFound) << std::hex << location;
    }
    EXPECT_TRUE(testbed.requests().empty());
}

TEST_F(LibusbPadUsb, OfTwoPadsOnlyTheOneAtTheLocationIsOpened) {
    const QString first = testbed.add({});
    UsbPadTestbed::Pad second;
    second.devpath = QStringLiteral("4");
    const QString other = testbed.add(second);
    IOReturn error = UsbStatus::error;
    auto handle = open(0x01400000, error);
    ASSERT_NE(handle, nullptr) << UsbStatus::hex(error).toStdString();
    const QByteArray bytes = chunk(1);
    EXPECT_EQ(writeChunk(handle.get(), bytes), UsbStatus::success);
    EXPECT_TRUE(testbed.requests(first).empty());
    ASSERT_EQ(urbs(testbed.requests(other)).size(), 1u);
    EXPECT_EQ(urbs(testbed.requests(other))[0].data, bytes);
}

TEST_F(LibusbPadUsb, OtherDeviceAtTheLocationIsNotFound) {
    UsbPadTestbed::Pad msdTwo;
    msdTwo.vendorID = 0x0B00;
    msdTwo.productID = 0x1001;
    testbed.add(msdTwo);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::notFound);
    EXPECT_TRUE(testbed.requests().empty());
}

TEST_F(LibusbPadUsb, PadWithoutImageInterfaceIsNotFoundWithoutBeingClaimed) {
    UsbPadTestbed::Pad pad;
    pad.imageInterface = false;
    testbed.add(pad);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::notFound);
    EXPECT_TRUE(testbed.requests().empty());
}

TEST_F(LibusbPadUsb, InterfaceWithoutOutEndpointTwoIsNotFoundAndReleased) {
    UsbPadTestbed::Pad pad;
    // Endpoint 2 inward, endpoint 3 outward, endpoint 2 outward but isochronous.
    pad.imageEndpoints = {{0x82, 0x02}, {0x03, 0x02}, {0x02, 0x01}};
    const QString node = testbed.add(pad);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::notFound);
    const QStringList seen = names(testbed.requests(node));
    ASSERT_GE(seen.size(), 2);
    EXPECT_EQ(seen.mid(0, 2),
              (QStringList{QStringLiteral("claim 1"), QStringLiteral("release 1")}));
    EXPECT_NE(testbed.driver(node, 1), "usbfs");
}

TEST_F(LibusbPadUsb, EndpointOfAnAlternateSettingIsUsedInThatSetting) {
    UsbPadTestbed::Pad pad;
    pad.imageEndpoints = {{0x82, 0x02}};
    pad.alternateEndpoints = {{0x02, 0x02}};
    const QString node = testbed.add(pad);
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr) << UsbStatus::hex(error).toStdString();
    const std::vector<Request> seen = testbed.requests(node);
    ASSERT_EQ(names(seen), (QStringList{QStringLiteral("claim 1"), QStringLiteral("alternate 1")}));
    EXPECT_EQ(seen[1].endpoint, 1) << "setting";
    EXPECT_EQ(writeChunk(handle.get(), chunk(4)), UsbStatus::success);
    ASSERT_EQ(urbs(testbed.requests(node)).size(), 1u);
    EXPECT_EQ(urbs(testbed.requests(node))[0].endpoint, 0x02);
}

TEST_F(LibusbPadUsb, RefusedAlternateSettingGivesItsCodeAndReleasesTheInterface) {
    UsbPadTestbed::Pad pad;
    pad.imageEndpoints = {};
    pad.alternateEndpoints = {{0x02, 0x02}};
    const QString node = testbed.add(pad);
    UsbPadTestbed::Behaviour gone;
    gone.alternateErrno = ENODEV;
    testbed.setBehaviour(gone);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::noDevice);
    const QStringList seen = names(testbed.requests(node));
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.mid(0, 3), (QStringList{QStringLiteral("claim 1"), QStringLiteral("alternate 1"),
                                           QStringLiteral("release 1")}));
    EXPECT_NE(testbed.driver(node, 1), "usbfs");
}

TEST_F(LibusbPadUsb, NodeThatCannotBeOpenedGivesThatFailureRatherThanNotFound) {
    const QString node = testbed.add({});
    testbed.removeNode(node);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::noDevice);
}

TEST_F(LibusbPadUsb, ClaimRefusedByTheKernelIsExclusiveAccess) {
    testbed.add({});
    UsbPadTestbed::Behaviour busy;
    busy.claimErrno = EBUSY;
    testbed.setBehaviour(busy);
    IOReturn error = UsbStatus::error;
    EXPECT_EQ(open(padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
}

TEST_F(LibusbPadUsb, InterfaceHeldByAnotherHandleIsExclusiveAccess) {
    testbed.add({});
    IOReturn error = UsbStatus::error;
    auto first = open(padLocation, error);
    ASSERT_NE(first, nullptr);
    RealPadUsb second;
    EXPECT_EQ(mountain_open(second, padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
}

TEST_F(LibusbPadUsb, KernelDriverOfTheImageInterfaceGetsItBackOnClose) {
    UsbPadTestbed::Pad pad;
    pad.driver1 = "usbhid";
    const QString node = testbed.add(pad);
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr) << UsbStatus::hex(error).toStdString();
    EXPECT_EQ(testbed.driver(node, 1), "usbfs");
    testbed.clearRequests();
    mountain_close(handle);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(names(testbed.requests(node)),
              (QStringList{QStringLiteral("release 1"), QStringLiteral("connect 1")}));
    EXPECT_EQ(testbed.driver(node, 1), "usbhid");
    // Free again for the next session.
    EXPECT_NE(mountain_open(*usb, padLocation, error), nullptr);
}

TEST_F(LibusbPadUsb, InterfaceKeepsWorkingAfterThePadUsbThatOpenedItIsGone) {
    const QString node = testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    usb.reset();
    EXPECT_EQ(writeChunk(handle.get(), chunk(2)), UsbStatus::success);
    mountain_close(handle);
    EXPECT_NE(testbed.driver(node, 1), "usbfs");
}

// Key-event mode

TEST_F(LibusbPadUsb, PrepareSendsTheKeyEventRequestToTheFirstInterface) {
    UsbPadTestbed::Pad pad;
    pad.driver0.clear();
    const QString node = testbed.add(pad);
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    testbed.clearRequests();
    EXPECT_EQ(mountain_prepare(handle.get()), UsbStatus::success);
    const std::vector<Request> sent = urbs(testbed.requests(node));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].urbType, USBDEVFS_URB_TYPE_CONTROL);
    EXPECT_EQ(sent[0].endpoint, 0);
    // Setup packet (type, request, value, index, length; little-endian) and the two data bytes.
    EXPECT_EQ(sent[0].data, hexBytes("21 09 03 02 00 00 02 00 03 01"));
}

TEST_F(LibusbPadUsb, KeyEventRequestRefusedByTheKernelIsAnIoError) {
    // usbfs passes a request to an interface only when the handle may claim that interface;
    // here the kernel's HID driver holds interface 0.
    const QString node = testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(mountain_prepare(handle.get()), UsbStatus::ioError);
    EXPECT_EQ(testbed.driver(node, 0), "usbhid");
}

TEST_F(LibusbPadUsb, StalledKeyEventRequestGivesThePipeStalledCode) {
    UsbPadTestbed::Pad pad;
    pad.driver0.clear();
    testbed.add(pad);
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    UsbPadTestbed::Behaviour stall;
    stall.urbStatus = -EPIPE;
    testbed.setBehaviour(stall);
    EXPECT_EQ(mountain_prepare(handle.get()), UsbStatus::pipeStalled);
}

// Pixel data

TEST_F(LibusbPadUsb, WritesGoOutAsWholeChunksOnEndpointTwoInOrder) {
    const QString node = testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    testbed.clearRequests();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(writeChunk(handle.get(), chunk(i)), UsbStatus::success);
    }
    const std::vector<Request> sent = urbs(testbed.requests(node));
    ASSERT_EQ(sent.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sent[i].urbType, USBDEVFS_URB_TYPE_BULK);
        EXPECT_EQ(sent[i].endpoint, 0x02);
        EXPECT_EQ(sent[i].data, chunk(i)) << "chunk " << i;
    }
}

TEST_F(LibusbPadUsb, TwoPadsWrittenAtOnceFromTwoThreadsEachGetTheirOwnChunks) {
    const QString first = testbed.add({});
    UsbPadTestbed::Pad pad;
    pad.devpath = QStringLiteral("4");
    const QString second = testbed.add(pad);
    usb = std::make_unique<RealPadUsb>();
    IOReturn error = UsbStatus::error;
    // Each session opens and writes from its own queue, sharing the one context.
    const auto session = [this](uint32_t location, int seed, IOReturn& result) {
        IOReturn openError = UsbStatus::error;
        auto handle = mountain_open(*usb, location, openError);
        result = openError;
        for (int i = 0; handle && result == UsbStatus::success && i < 31; ++i) {
            result = writeChunk(handle.get(), chunk(seed + i));
        }
    };
    IOReturn firstResult = UsbStatus::error;
    std::thread other([&] { session(0x01400000, 100, error); });
    session(padLocation, 0, firstResult);
    other.join();
    EXPECT_EQ(firstResult, UsbStatus::success);
    EXPECT_EQ(error, UsbStatus::success);
    for (const auto& [node, seed] : {std::pair{first, 0}, std::pair{second, 100}}) {
        const std::vector<Request> sent = urbs(testbed.requests(node));
        ASSERT_EQ(sent.size(), 31u) << node.toStdString();
        for (int i = 0; i < 31; ++i) {
            EXPECT_EQ(sent[i].data, chunk(seed + i)) << node.toStdString() << " chunk " << i;
        }
    }
}

TEST_F(LibusbPadUsb, InterruptEndpointIsWrittenWithInterruptTransfers) {
    UsbPadTestbed::Pad pad;
    pad.imageEndpoints = {{0x81, 0x03}, {0x02, 0x03}};
    const QString node = testbed.add(pad);
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(writeChunk(handle.get(), chunk(9)), UsbStatus::success);
    const std::vector<Request> sent = urbs(testbed.requests(node));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].urbType, USBDEVFS_URB_TYPE_INTERRUPT);
    EXPECT_EQ(sent[0].endpoint, 0x02);
    EXPECT_EQ(sent[0].data, chunk(9));
}

TEST_F(LibusbPadUsb, FailedTransfersGiveTheCodeOfTheirCause) {
    testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    struct Case {
        int urbStatus;
        int submitErrno;
        IOReturn expected;
    };
    const Case cases[] = {
        {-EPIPE, 0, UsbStatus::pipeStalled}, {-EPROTO, 0, UsbStatus::ioError},
        {-EOVERFLOW, 0, UsbStatus::overrun}, {-ESHUTDOWN, 0, UsbStatus::noDevice},
        {0, ENODEV, UsbStatus::noDevice},    {0, EIO, UsbStatus::ioError},
    };
    for (const Case& c : cases) {
        UsbPadTestbed::Behaviour behaviour;
        behaviour.urbStatus = c.urbStatus;
        behaviour.submitErrno = c.submitErrno;
        testbed.setBehaviour(behaviour);
        EXPECT_EQ(writeChunk(handle.get(), chunk(0)), c.expected)
            << "status " << c.urbStatus << ", submit errno " << c.submitErrno;
    }
    // The handle still works once the device takes data again.
    testbed.setBehaviour({});
    EXPECT_EQ(writeChunk(handle.get(), chunk(0)), UsbStatus::success);
}

TEST_F(LibusbPadUsb, ShortTransferIsAnIoError) {
    testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    UsbPadTestbed::Behaviour partial;
    partial.urbShortBy = 24;
    testbed.setBehaviour(partial);
    EXPECT_EQ(writeChunk(handle.get(), chunk(0)), UsbStatus::ioError);
}

TEST_F(LibusbPadUsb, TransferThePadNeverTakesTimesOutAndIsWithdrawn) {
    const QString node = testbed.add({});
    IOReturn error = UsbStatus::error;
    auto handle = open(padLocation, error);
    ASSERT_NE(handle, nullptr);
    UsbPadTestbed::Behaviour stuck;
    stuck.urbsComplete = false;
    testbed.setBehaviour(stuck);
    EXPECT_EQ(writeChunk(handle.get(), chunk(0)), UsbStatus::timeout);
    EXPECT_TRUE(names(testbed.requests(node)).contains(QStringLiteral("discard")));
}

// Re-enumeration

TEST_F(LibusbPadUsb, ReenumerateUnbindsDriversResetsAndBindsThemAgain) {
    UsbPadTestbed::Pad pad;
    pad.driver0 = "usbhid";
    pad.driver1 = "usbhid";
    const QString node = testbed.add(pad);
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::success);
    EXPECT_EQ(names(testbed.requests(node)),
              (QStringList{QStringLiteral("disconnect 0"), QStringLiteral("disconnect 1"),
                           QStringLiteral("reset"), QStringLiteral("connect 0"),
                           QStringLiteral("connect 1")}));
    EXPECT_EQ(testbed.driver(node, 0), "usbhid");
    EXPECT_EQ(testbed.driver(node, 1), "usbhid");
}

TEST_F(LibusbPadUsb, ReenumerateLeavesInterfacesWithoutDriverAlone) {
    const QString node = testbed.add({});  // a driver on interface 0 only
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::success);
    EXPECT_EQ(names(testbed.requests(node)),
              (QStringList{QStringLiteral("disconnect 0"), QStringLiteral("reset"),
                           QStringLiteral("connect 0")}));
}

TEST_F(LibusbPadUsb, ReenumerateOfAbsentPadIsNotFound) {
    testbed.add({});
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, 0x01240000), UsbStatus::notFound);
    EXPECT_TRUE(testbed.requests().empty());
}

TEST_F(LibusbPadUsb, ReenumerateOfPadWhoseNodeCannotBeOpenedGivesThatFailure) {
    const QString node = testbed.add({});
    testbed.removeNode(node);
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::noDevice);
    EXPECT_TRUE(testbed.requests().empty());
}

TEST_F(LibusbPadUsb, FailedResetIsReportedAndTheDriversAreBoundAgain) {
    const QString node = testbed.add({});
    UsbPadTestbed::Behaviour failing;
    failing.resetErrno = EIO;
    testbed.setBehaviour(failing);
    RealPadUsb padUsb;
    // libusb folds every reset failure but a vanished device into one general error.
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::error);
    EXPECT_EQ(names(testbed.requests(node)),
              (QStringList{QStringLiteral("disconnect 0"), QStringLiteral("reset"),
                           QStringLiteral("connect 0")}));
    EXPECT_EQ(testbed.driver(node, 0), "usbhid");
}

TEST_F(LibusbPadUsb, ResetAfterWhichThePadEnumeratesAnewIsSuccess) {
    testbed.add({});
    UsbPadTestbed::Behaviour gone;
    gone.resetErrno = ENODEV;
    testbed.setBehaviour(gone);
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::success);
}

TEST_F(LibusbPadUsb, DriverThatLeftBeforeTheUnbindDoesNotStopTheReset) {
    const QString node = testbed.add({});
    UsbPadTestbed::Behaviour gone;
    gone.disconnectErrno = ENODATA;
    testbed.setBehaviour(gone);
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::success);
    EXPECT_TRUE(names(testbed.requests(node)).contains(QStringLiteral("reset")));
}

TEST_F(LibusbPadUsb, FailedUnbindStopsBeforeTheResetAndRebindsTheOthers) {
    UsbPadTestbed::Pad pad;
    pad.driver1 = "usbhid";
    const QString node = testbed.add(pad);
    UsbPadTestbed::Behaviour failing;
    failing.disconnectErrno = ENODEV;
    failing.disconnectFailsFrom = 1;
    testbed.setBehaviour(failing);
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, padLocation), UsbStatus::noDevice);
    EXPECT_EQ(names(testbed.requests(node)),
              (QStringList{QStringLiteral("disconnect 0"), QStringLiteral("disconnect 1"),
                           QStringLiteral("connect 0")}));
    EXPECT_EQ(testbed.driver(node, 0), "usbhid");
}
}  // namespace usbtest
