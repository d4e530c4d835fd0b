#include "RecordingDevice.h"
#include "device/ReportRouting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using Verdict = ReportRouting::Verdict;

TEST(ReportRouting, ReportOfTheCurrentConnectionIsDelivered) {
    auto device = std::make_shared<RecordingDevice>();
    HIDConnection connection(device);
    LogCapture log;
    EXPECT_TRUE(ReportRouting::accept(0, device.get(), &connection));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(ReportRouting, ReportFromAReplacedDeviceIsDropped) {
    auto old = std::make_shared<RecordingDevice>(QStringLiteral("/dev/hidraw2"));
    auto reattached = std::make_shared<RecordingDevice>(QStringLiteral("/dev/hidraw2"));
    HIDConnection current(reattached);
    LogCapture log;
    EXPECT_FALSE(ReportRouting::accept(0, old.get(), &current));
    EXPECT_EQ(log.lines(), QStringList{"Pad report has no active connection"});
}

TEST(ReportRouting, ReportWithoutConnectionIsDropped) {
    auto device = std::make_shared<RecordingDevice>();
    LogCapture log;
    EXPECT_FALSE(ReportRouting::accept(0, device.get(), nullptr));
    EXPECT_EQ(log.lines(), QStringList{"Pad report has no active connection"});
}

TEST(ReportRouting, FailedCallbackIsLoggedWithItsCodeAndDropped) {
    auto device = std::make_shared<RecordingDevice>();
    HIDConnection connection(device);
    LogCapture log;
    EXPECT_FALSE(ReportRouting::accept(0xe00002c0, device.get(), &connection));
    EXPECT_EQ(log.lines(), QStringList{"Pad report callback failed: 0xe00002c0"});
}

TEST(ReportRouting, MissingDeviceIsIgnoredSilently) {
    LogCapture log;
    EXPECT_EQ(ReportRouting::verdict(0xe00002ca, nullptr, nullptr), Verdict::noDevice);
    EXPECT_FALSE(ReportRouting::accept(0, nullptr, nullptr));
    EXPECT_TRUE(log.lines().isEmpty());
}
