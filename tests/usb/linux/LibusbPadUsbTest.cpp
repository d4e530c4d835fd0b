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

TEST_F(LibusbPadUsb, AnythingButAPadWithAnImageEndpointAtTheLocationIsNotFound) {
    testbed.add({});
    UsbPadTestbed::Pad msdTwo;
    msdTwo.devpath = QStringLiteral("5");
    msdTwo.vendorID = 0x0B00;
    msdTwo.productID = 0x1001;
    const QString otherDevice = testbed.add(msdTwo);
    UsbPadTestbed::Pad withoutImages;
    withoutImages.devpath = QStringLiteral("6");
    withoutImages.imageInterface = false;
    const QString noInterface = testbed.add(withoutImages);
    UsbPadTestbed::Pad wrongEndpoints;
    wrongEndpoints.devpath = QStringLiteral("7");
    // Endpoint 2 inward, endpoint 3 outward, endpoint 2 outward but isochronous.
    wrongEndpoints.imageEndpoints = {{0x82, 0x02}, {0x03, 0x02}, {0x02, 0x01}};
    const QString noEndpoint = testbed.add(wrongEndpoints);
    const std::pair<const char*, uint32_t> cases[] = {
        {"another port on the same bus", 0x01240000},
        {"the same ports on another bus", 0x02230000},
        {"the parent hub", 0x01200000},
        {"another device", 0x01500000},
        {"a pad without the image interface", 0x01600000},
        {"an image interface without out endpoint 2", 0x01700000},
    };
    for (const auto& [what, location] : cases) {
        SCOPED_TRACE(what);
        IOReturn error = UsbStatus::error;
        EXPECT_EQ(open(location, error), nullptr);
        EXPECT_EQ(error, UsbStatus::notFound);
    }
    // Only the pad whose interface had to be looked at was touched, and it was given back.
    EXPECT_TRUE(testbed.requests(otherDevice).empty());
    EXPECT_TRUE(testbed.requests(noInterface).empty());
    EXPECT_EQ(names(testbed.requests(noEndpoint)).mid(0, 2),
              (QStringList{QStringLiteral("claim 1"), QStringLiteral("release 1")}));
    EXPECT_NE(testbed.driver(noEndpoint, 1), "usbfs");
    EXPECT_EQ(testbed.requests().size(), testbed.requests(noEndpoint).size());
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

TEST_F(LibusbPadUsb, InterfaceHeldElsewhereIsExclusiveAccess) {
    testbed.add({});
    IOReturn error = UsbStatus::error;
    auto first = open(padLocation, error);
    ASSERT_NE(first, nullptr);
    RealPadUsb second;
    EXPECT_EQ(mountain_open(second, padLocation, error), nullptr);
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
    // As when the kernel refuses the claim for a holder outside this program.
    mountain_close(first);
    UsbPadTestbed::Behaviour busy;
    busy.claimErrno = EBUSY;
    testbed.setBehaviour(busy);
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
        int shortBy;
        IOReturn expected;
    };
    const Case cases[] = {
        {-EPIPE, 0, 0, UsbStatus::pipeStalled}, {-EPROTO, 0, 0, UsbStatus::ioError},
        {-EOVERFLOW, 0, 0, UsbStatus::overrun}, {-ESHUTDOWN, 0, 0, UsbStatus::noDevice},
        {0, ENODEV, 0, UsbStatus::noDevice},    {0, EIO, 0, UsbStatus::ioError},
        {0, 0, 24, UsbStatus::ioError},  // a short transfer
    };
    for (const Case& c : cases) {
        UsbPadTestbed::Behaviour behaviour;
        behaviour.urbStatus = c.urbStatus;
        behaviour.submitErrno = c.submitErrno;
        behaviour.urbShortBy = c.shortBy;
        testbed.setBehaviour(behaviour);
        EXPECT_EQ(writeChunk(handle.get(), chunk(0)), c.expected)
            << "status " << c.urbStatus << ", submit errno " << c.submitErrno << ", short by "
            << c.shortBy;
    }
    // The handle still works once the device takes data again.
    testbed.setBehaviour({});
    EXPECT_EQ(writeChunk(handle.get(), chunk(0)), UsbStatus::success);
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
    const struct {
        const char* what;
        QByteArray driver1;  // interface 0 always has one
        int disconnectErrno, disconnectFailsFrom, resetErrno;
        IOReturn expected;
        QStringList requests;
        bool exact;  // else the requests only include these
    } cases[] = {
        {"drivers on both interfaces",
         "usbhid",
         0,
         0,
         0,
         UsbStatus::success,
         {"disconnect 0", "disconnect 1", "reset", "connect 0", "connect 1"},
         true},
        {"interfaces without a driver are left alone",
         {},
         0,
         0,
         0,
         UsbStatus::success,
         {"disconnect 0", "reset", "connect 0"},
         true},
        // libusb folds every reset failure but a vanished device into one general error.
        {"failed reset",
         {},
         0,
         0,
         EIO,
         UsbStatus::error,
         {"disconnect 0", "reset", "connect 0"},
         true},
        {"the pad enumerates anew after the reset",
         {},
         0,
         0,
         ENODEV,
         UsbStatus::success,
         {},
         false},
        {"a driver that left before its unbind",
         {},
         ENODATA,
         0,
         0,
         UsbStatus::success,
         {"reset"},
         false},
        {"a failed unbind stops before the reset and rebinds the others",
         "usbhid",
         ENODEV,
         1,
         0,
         UsbStatus::noDevice,
         {"disconnect 0", "disconnect 1", "connect 0"},
         true},
    };
    std::vector<QString> nodes;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        UsbPadTestbed::Pad pad;
        pad.devpath = QString::number(i + 1);
        pad.driver1 = cases[i].driver1;
        nodes.push_back(testbed.add(pad));
    }
    RealPadUsb padUsb;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        UsbPadTestbed::Behaviour behaviour;
        behaviour.disconnectErrno = c.disconnectErrno;
        behaviour.disconnectFailsFrom = c.disconnectFailsFrom;
        behaviour.resetErrno = c.resetErrno;
        testbed.setBehaviour(behaviour);
        EXPECT_EQ(mountain_reenumerate(padUsb, 0x01000000u | uint32_t(i + 1) << 20), c.expected);
        const QStringList seen = names(testbed.requests(nodes[i]));
        if (c.exact) {
            EXPECT_EQ(seen, c.requests);
            EXPECT_EQ(testbed.driver(nodes[i], 0), "usbhid");
            EXPECT_EQ(testbed.driver(nodes[i], 1), c.driver1);
        }
        for (const QString& request : c.requests) {
            EXPECT_TRUE(seen.contains(request)) << request.toStdString();
        }
    }
}

TEST_F(LibusbPadUsb, ReenumerateOfAPadItCannotReachIsNotFoundOrThatFailure) {
    const QString node = testbed.add({});
    RealPadUsb padUsb;
    EXPECT_EQ(mountain_reenumerate(padUsb, 0x01240000), UsbStatus::notFound);
    testbed.removeNode(node);
    RealPadUsb afterRemoval;
    EXPECT_EQ(mountain_reenumerate(afterRemoval, padLocation), UsbStatus::noDevice);
    EXPECT_TRUE(testbed.requests().empty());
}
}  // namespace usbtest
