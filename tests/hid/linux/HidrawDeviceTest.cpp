#include "device/UsbStatus.h"
#include "device/linux/HidrawDevice.h"
#include "support/TestSupport.h"
#include "support/umockdev/PadTestbed.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <unistd.h>

// A node without access is a permission problem whose message names the rules; a missing node
// is not mistaken for one.
TEST(HidrawDevice, NodeWithoutAccessIsAPermissionProblemThatNamesTheRules) {
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("hidraw7"));
    QFile file(node);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions({}));
    HidDeviceInfo info;
    info.path = node;
    HidrawDevice::OpenFailure failure;
    // access() answers for the real user id. Run as root, the test lends the real id to
    // "nobody" (keeping root as the effective id to take it back), so that permissions apply as
    // they do to a desktop user.
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::setresuid(65534, 0, 0) == 0);
    EXPECT_FALSE(HidrawDevice::open(info, failure));
    ASSERT_TRUE(!root || ::setresuid(0, 0, 0) == 0);
    EXPECT_TRUE(failure.permissionDenied) << failure.reason.toStdString();
    const QString message = failure.message(node);
    EXPECT_TRUE(message.startsWith("Cannot open pad node " + node + u':')) << message.toStdString();
    EXPECT_TRUE(message.contains(u"packaging/70-quorvel.rules"));
    EXPECT_TRUE(message.contains(u"\"Access to the pads (udev rules)\""));

    HidrawDevice::OpenFailure missing;
    info.path = dir.filePath(QStringLiteral("hidraw9"));
    EXPECT_FALSE(HidrawDevice::open(info, missing));
    EXPECT_FALSE(missing.permissionDenied);
    EXPECT_FALSE(missing.reason.isEmpty());
    EXPECT_FALSE(missing.message(info.path).contains(u"udev rules"));
}

// "Enable key-event mode" goes out as HID output report 3 through HIDIOCSOUTPUT: the bytes the
// kernel received, report id first, and the codes of its refusals; nothing once closed.
TEST(HidrawDevice, NumberedOutputReportReachesTheNodeOrSaysWhyNot) {
    ASSERT_TRUE(PadTestbed::preloaded()) << "run under umockdev-wrapper, as ctest does";
    PadTestbed testbed;
    const PadTestbed::Node node = testbed.addHid({.usagePage = 0xFF00, .reportSize = 64});
    HidDeviceInfo info;
    info.path = node.devnode;
    HidrawDevice::OpenFailure failure;
    const auto device = HidrawDevice::open(info, failure);
    ASSERT_TRUE(device) << failure.reason.toStdString();
    EXPECT_EQ(device->setNumberedOutputReport(3, hexBytes("05 01")), UsbStatus::success);
    EXPECT_EQ(testbed.outputReports(), std::vector<QByteArray>{hexBytes("03 05 01")});
    for (const auto& [error, code] : {std::pair(ENOTTY, UsbStatus::unsupported),
                                      {EINVAL, UsbStatus::unsupported},
                                      {EPIPE, UsbStatus::pipeStalled},
                                      {EIO, UsbStatus::ioError}}) {
        testbed.setOutputReportError(error);
        EXPECT_EQ(device->setNumberedOutputReport(3, hexBytes("05 01")), code) << error;
    }
    device->close();
    EXPECT_EQ(device->setNumberedOutputReport(3, hexBytes("05 01")), UsbStatus::noDevice);
}
