#include "core/MainThread.h"
#include "device/DeviceKind.h"
#include "device/UsbStatus.h"
#include "device/linux/LinuxHidManager.h"
#include "support/TestSupport.h"
#include "support/umockdev/PadTestbed.h"

#include <gtest/gtest.h>

#include <memory>

namespace linuxhid {
namespace {
PadTestbed::HidInterface displayPad(const QString& devpath = QStringLiteral("2.3")) {
    return {.usb = {.devpath = devpath, .serial = QStringLiteral("ABC")}, .interfaceNumber = 3};
}

PadTestbed::HidInterface msdTwo(const QString& devpath = QStringLiteral("1")) {
    return {.usb = {.bus = 3, .devpath = devpath, .vendorID = 0x0B00, .productID = 0x1001},
            .usagePage = 0xFFA0,
            .reportSize = 1024};
}

std::vector<HidManager::Matching> bothKinds() {
    std::vector<HidManager::Matching> rules;
    for (DeviceKind kind : DeviceKind::allCases) {
        rules.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
    }
    return rules;
}

// Everything posted to the main thread before this call has run once it returns.
bool drainMainThread() {
    bool drained = false;
    runOnMain([&drained] { drained = true; });
    return waitUntil([&] { return drained; });
}
}  // namespace

// What the manager told, in order, on a fake machine.
class LinuxHidManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PadTestbed::preloaded())
            << "run this test under umockdev-wrapper (ctest does), or it would see real devices";
    }
    void TearDown() override { manager.stop(); }

    HidManager::Handlers handlers() {
        const auto check = [this](uint32_t result = 0) {
            offMainThread = offMainThread || !isMainThread() || result != 0;
        };
        return {[=, this](const auto& device) { check(), attached.push_back(device); },
                [=, this](const auto& device) { check(), removed.push_back(device); },
                [=, this](uint32_t result, const auto& device, const QByteArray& report) {
                    lateInputs += int(std::count(removed.begin(), removed.end(), device));
                    check(result);
                    inputs.push_back({device, report});
                },
                {}};
    }
    bool startWith(size_t pads) {
        manager.start(bothKinds(), handlers());
        return waitUntil([&] { return attached.size() == pads; });
    }
    // The latest device attached at `node`.
    std::shared_ptr<HidDevice> attachedAt(const PadTestbed::Node& node) const {
        const auto found = std::find_if(attached.rbegin(), attached.rend(), [&](const auto& d) {
            return d->info().path == node.devnode;
        });
        return found == attached.rend() ? nullptr : *found;
    }
    // Reports go one at a time: the test's end of the node is a byte stream, so two reports
    // written at once could be read as one.
    bool deliver(const PadTestbed::Node& node, const QByteArray& report) {
        const size_t before = inputs.size();
        return testbed.sendReport(node, report) &&
               waitUntil([&] { return inputs.size() > before; });
    }

    PadTestbed testbed;
    ::LinuxHidManager manager;
    std::vector<std::shared_ptr<HidDevice>> attached, removed;
    std::vector<std::pair<std::shared_ptr<HidDevice>, QByteArray>> inputs;
    int lateInputs = 0;  // of a device whose removal was already reported
    bool offMainThread = false;
};

// Pads present at the start are reported with their properties, other interfaces and devices
// are not: the pad's own keyboard collection, someone else's vendor page. Reports pass unchanged
// both ways, output reports with report id zero.
TEST_F(LinuxHidManager, PadsAreReportedWithTheirPropertiesAndReportsPassUnchanged) {
    testbed.addHid({.usb = displayPad().usb, .usagePage = 0x0001});
    testbed.addHid({.usb = {.devpath = "4", .vendorID = 0x046d, .productID = 0xc52b}});
    const auto mountainNode = testbed.addHid(displayPad());
    const auto msdNode = testbed.addHid(msdTwo());
    manager.start(bothKinds(), handlers());
    EXPECT_TRUE(attached.empty()) << "nothing is reported from inside start";
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 2; }));
    const auto mountain = attachedAt(mountainNode), msd = attachedAt(msdNode);
    ASSERT_TRUE(mountain && msd);
    const HidDeviceInfo &m = mountain->info(), &d = msd->info();
    EXPECT_EQ(std::tuple(m.vendorID, m.productID, m.primaryUsagePage, m.locationID),
              std::tuple(0x3282, 9, 0xFF00, 0x01230000u));  // bus 1, ports 2.3
    EXPECT_EQ(m.serialNumber, QStringLiteral("ABC"));
    EXPECT_EQ(std::tuple(d.vendorID, d.productID, d.primaryUsagePage, d.locationID),
              std::tuple(0x0B00, 0x1001, 0xFFA0, 0x03100000u));
    EXPECT_FALSE(d.serialNumber) << "no serial number is absent, not empty";

    const QByteArray in[] = {displayPadKeyReport({3}, 64), msdTwoReport(0x51, 1014, '\0'),
                             displayPadKeyReport({}, 64)};
    ASSERT_TRUE(deliver(mountainNode, in[0]) && deliver(msdNode, in[1]) &&
                deliver(mountainNode, in[2]));
    ASSERT_EQ(inputs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(inputs[i], std::pair(i == 1 ? msd : mountain, in[i])) << i;
    }
    EXPECT_FALSE(offMainThread) << "inputs arrive on the main thread, without error";
    const QByteArray data = QByteArray::fromHex("00070e151c232a31").repeated(128);
    const QByteArray command = hexBytes("11 80 00 00 01") + QByteArray(59, '\0');
    EXPECT_EQ(mountain->setOutputReport(command), 0u);
    EXPECT_EQ(testbed.readWritten(mountainNode, 65), QByteArray(1, '\0') + command);
    EXPECT_EQ(msd->setOutputReport(data), 0u);
    EXPECT_EQ(testbed.readWritten(msdNode, 1025), QByteArray(1, '\0') + data);

    // One more pad after the start proves that every event before it was seen.
    const auto later = testbed.addHid(displayPad("6"));
    ASSERT_TRUE(waitUntil([&] { return attached.size() >= 3; }));
    EXPECT_EQ(attached.size(), 3u);
    EXPECT_TRUE(attachedAt(later));
}

// A hot-plugged pad is reported, and its removal too. A report can be on its way to the main
// thread when the pad goes away; it must not reach the handlers after the removal. A report of
// the other pad, posted later, shows that the queue was worked through.
TEST_F(LinuxHidManager, HotPluggedPadIsReportedAndNoReportFollowsItsRemoval) {
    const auto stayingNode = testbed.addHid(msdTwo());
    ASSERT_TRUE(startWith(1));
    const auto node = testbed.addHid(displayPad());
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 2; }));
    const auto device = attachedAt(node);
    ASSERT_TRUE(device);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(testbed.sendReport(node, displayPadKeyReport({1}, 64)));
    }
    testbed.remove(node);
    ASSERT_TRUE(waitUntil([&] { return removed.size() == 1; }));
    EXPECT_EQ(removed[0], device) << "the same object as was attached";
    ASSERT_TRUE(deliver(stayingNode, msdTwoReport(1, 1014, '\0')));
    EXPECT_EQ(lateInputs, 0);
    EXPECT_EQ(inputs.back().first, attachedAt(stayingNode));
    EXPECT_FALSE(offMainThread);
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice)
        << "a session still holding the device learns that it is gone";

    testbed.addHid(displayPad());
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 3; }));
    EXPECT_NE(attached[2], device) << "plugged in again: a new device object";
}

TEST_F(LinuxHidManager, NothingIsReportedAfterStopAndItStartsAgain) {
    const auto node = testbed.addHid(displayPad());
    ASSERT_TRUE(startWith(1));
    const auto device = attached[0];
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));

    ASSERT_TRUE(testbed.sendReport(node, displayPadKeyReport({2}, 64)));
    manager.stop();
    testbed.addHid(msdTwo());
    // Posted after stop: everything the reader had queued before it was joined runs first.
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(std::tuple(inputs.size(), attached.size()), std::tuple(1u, 1u));
    EXPECT_TRUE(removed.empty()) << "stop closes devices without reporting removals";
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);

    ASSERT_TRUE(startWith(3));
    EXPECT_NE(attachedAt(node), device) << "reopened as a new device";
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));
    EXPECT_EQ(inputs.back().first, attachedAt(node));
}

// The store stops the manager when the application quits, which may happen from inside any
// handler, including the one the udev notifier is calling.
TEST_F(LinuxHidManager, HandlerMayStopTheManager) {
    HidManager::Handlers stopping = handlers();
    stopping.attached = [this, record = stopping.attached](const auto& device) {
        record(device);
        manager.stop();
    };
    manager.start(bothKinds(), stopping);
    testbed.addHid(displayPad());
    testbed.addHid(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 1; }));
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(attached.size(), 1u) << "nothing after stop";
    EXPECT_EQ(attached[0]->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);
}

// A node that cannot be opened is logged once and not retried in a loop. After installing the
// udev rules the README has the user run `udevadm trigger`, which reports a change of each node:
// the node is tried again then, while an open one is left alone.
TEST_F(LinuxHidManager, UnopenableNodeIsLoggedOnceAndTriedAgainOnAChange) {
    LogCapture log;
    PadTestbed::HidInterface broken = displayPad();
    broken.answerIoctls = false;  // hidapi's open refuses a node that is not hidraw
    const auto node = testbed.addHid(broken);
    manager.start(bothKinds(), handlers());
    // A working pad attached afterwards shows that the broken one has been dealt with.
    const auto other = testbed.addHid(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 1; }));
    EXPECT_EQ(attached[0]->info().path, other.devnode);
    const QString prefix = "Cannot open pad node " + node.devnode + ": ";
    const QStringList lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const QString& line) { return line.startsWith(prefix); }),
              1)
        << lines.join(u'\n').toStdString();

    testbed.answerIoctls(node);
    testbed.change(node);
    testbed.change(other);
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 2; }));
    EXPECT_EQ(attached[1]->info().path, node.devnode);
    ASSERT_TRUE(deliver(other, msdTwoReport(3, 1014, '\0')));
    EXPECT_EQ(attached.size(), 2u) << "the open pad is not attached twice";
}

}  // namespace linuxhid
