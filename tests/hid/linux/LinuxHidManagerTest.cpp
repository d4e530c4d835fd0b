#include "core/MainThread.h"
#include "device/DeviceKind.h"
#include "device/UsbStatus.h"
#include "device/linux/LinuxHidManager.h"
#include "support/PadReports.h"
#include "support/TestSupport.h"
#include "support/umockdev/PadTestbed.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace linuxhid {
using RealManager = ::LinuxHidManager;

namespace {
PadTestbed::HidInterface displayPad(const QString& devpath = QStringLiteral("2.3")) {
    return {.usb = {.devpath = devpath, .serial = QStringLiteral("ABC")}, .interfaceNumber = 3};
}

PadTestbed::HidInterface msdTwo() {
    return {.usb = {.bus = 3, .devpath = "1", .vendorID = 0x0B00, .productID = 0x1001},
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

struct Input {
    std::shared_ptr<HidDevice> device;
    QByteArray report;
};

// What the manager told, in order.
struct Recorder {
    std::vector<std::shared_ptr<HidDevice>> attached, removed;
    std::vector<Input> inputs;
    int lateInputs = 0;  // of a device whose removal was already reported
    bool offMainThread = false;

    HidManager::Handlers handlers() {
        return {
            [this](const std::shared_ptr<HidDevice>& device) {
                offMainThread = offMainThread || !isMainThread();
                attached.push_back(device);
            },
            [this](const std::shared_ptr<HidDevice>& device) {
                offMainThread = offMainThread || !isMainThread();
                removed.push_back(device);
            },
            [this](uint32_t result, const std::shared_ptr<HidDevice>& device,
                   const QByteArray& report) {
                lateInputs += int(std::count(removed.begin(), removed.end(), device));
                offMainThread = offMainThread || !isMainThread() || result != 0;
                inputs.push_back({device, report});
            },
            {},
        };
    }

    // The latest device attached at `node`.
    std::shared_ptr<HidDevice> attachedAt(const QString& node) const {
        const auto found = std::find_if(attached.rbegin(), attached.rend(),
                                        [&](const auto& d) { return d->info().path == node; });
        return found == attached.rend() ? nullptr : *found;
    }
};

// Everything posted to the main thread before this call has run once it returns.
bool drainMainThread() {
    bool drained = false;
    runOnMain([&drained] { drained = true; });
    return waitUntil([&] { return drained; });
}
}  // namespace

class LinuxHidManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PadTestbed::preloaded())
            << "run this test under umockdev-wrapper (ctest does), or it would see real devices";
    }
    void TearDown() override { manager.stop(); }

    // Reports go one at a time: the test's end of the node is a byte stream, so two reports
    // written at once could be read as one.
    bool deliver(const PadTestbed::Node& node, const QByteArray& report) {
        const size_t before = recorder.inputs.size();
        return testbed.sendReport(node, report) &&
               waitUntil([&] { return recorder.inputs.size() > before; });
    }

    bool startWith(size_t pads) {
        manager.start(bothKinds(), recorder.handlers());
        return waitUntil([&] { return recorder.attached.size() == pads; });
    }

    PadTestbed testbed;
    Recorder recorder;
    RealManager manager;
};

// Pads present at the start are reported with their properties, other interfaces and devices
// are not: the pad's own keyboard collection, someone else's vendor page, MSD-TWO ids with the
// DisplayPad's page.
TEST_F(LinuxHidManager, PadsAreReportedWithTheirPropertiesAndNothingElse) {
    PadTestbed::HidInterface keyboard = displayPad();
    keyboard.usagePage = 0x0001;
    keyboard.interfaceNumber = 0;
    PadTestbed::HidInterface foreign = displayPad("4");
    foreign.usb.vendorID = 0x046d;
    foreign.usb.productID = 0xc52b;
    PadTestbed::HidInterface mixed = msdTwo();
    mixed.usagePage = 0xFF00;
    mixed.usb.devpath = QStringLiteral("5");
    for (const auto& other : {keyboard, foreign, mixed}) {
        testbed.addHid(other);
    }
    const auto mountainNode = testbed.addHid(displayPad());
    const auto msdNode = testbed.addHid(msdTwo());
    manager.start(bothKinds(), recorder.handlers());
    EXPECT_TRUE(recorder.attached.empty()) << "nothing is reported from inside start";
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    const auto mountain = recorder.attachedAt(mountainNode.devnode);
    const auto msd = recorder.attachedAt(msdNode.devnode);
    ASSERT_TRUE(mountain && msd);
    const HidDeviceInfo& m = mountain->info();
    EXPECT_EQ(std::tuple(m.vendorID, m.productID, m.primaryUsagePage),
              std::tuple(0x3282, 9, 0xFF00));
    EXPECT_EQ(m.locationID, 0x01230000u) << "bus 1, ports 2.3";
    EXPECT_EQ(m.serialNumber, QStringLiteral("ABC"));
    const HidDeviceInfo& d = msd->info();
    EXPECT_EQ(std::tuple(d.vendorID, d.productID, d.primaryUsagePage),
              std::tuple(0x0B00, 0x1001, 0xFFA0));
    EXPECT_EQ(d.locationID, 0x03100000u);
    EXPECT_FALSE(d.serialNumber) << "no serial number is absent, not empty";
    // One more pad after the start proves that every event before it was seen.
    const auto later = testbed.addHid(displayPad("6"));
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() >= 3; }));
    EXPECT_EQ(recorder.attached.size(), 3u);
    EXPECT_TRUE(recorder.attachedAt(later.devnode));
}

// A hot-plugged pad is reported, and its removal too. A report can be on its way to the main
// thread when the pad goes away; it must not reach the handlers after the removal. A report of
// the other pad, posted later, shows that the queue was worked through.
TEST_F(LinuxHidManager, HotPluggedPadIsReportedAndNoReportFollowsItsRemoval) {
    const auto stayingNode = testbed.addHid(msdTwo());
    ASSERT_TRUE(startWith(1));
    const auto node = testbed.addHid(displayPad());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    const auto device = recorder.attachedAt(node.devnode);
    ASSERT_TRUE(device);
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(testbed.sendReport(node, displayPadKeyReport({1}, 64)));
    }
    testbed.remove(node);
    ASSERT_TRUE(waitUntil([&] { return recorder.removed.size() == 1; }));
    EXPECT_EQ(recorder.removed[0], device) << "the same object as was attached";
    ASSERT_TRUE(deliver(stayingNode, msdTwoReport(1, 1014, '\0')));
    EXPECT_EQ(recorder.lateInputs, 0);
    EXPECT_EQ(recorder.inputs.back().device, recorder.attachedAt(stayingNode.devnode));
    EXPECT_FALSE(recorder.offMainThread);
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice)
        << "a session still holding the device learns that it is gone";

    testbed.addHid(displayPad());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 3; }));
    EXPECT_NE(recorder.attached[2], device) << "plugged in again: a new device object";
}

TEST_F(LinuxHidManager, ReportsPassUnchangedBothWays) {
    const auto mountainNode = testbed.addHid(displayPad());
    const auto msdNode = testbed.addHid(msdTwo());
    ASSERT_TRUE(startWith(2));
    const auto mountain = recorder.attachedAt(mountainNode.devnode);
    const auto msd = recorder.attachedAt(msdNode.devnode);

    const QByteArray in[] = {displayPadKeyReport({3}, 64), msdTwoReport(0x51, 1014, '\0'),
                             displayPadKeyReport({}, 64)};
    ASSERT_TRUE(deliver(mountainNode, in[0]));
    ASSERT_TRUE(deliver(msdNode, in[1]));
    ASSERT_TRUE(deliver(mountainNode, in[2]));
    ASSERT_EQ(recorder.inputs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.inputs[i].device, i == 1 ? msd : mountain);
        EXPECT_EQ(recorder.inputs[i].report, in[i]) << "1024 bytes of the MSD-TWO included";
    }
    EXPECT_FALSE(recorder.offMainThread) << "inputs arrive on the main thread, without error";

    // Output reports go out with report id zero.
    QByteArray data(1024, '\0');
    for (int i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7);
    }
    const QByteArray command = hexBytes("11 80 00 00 01") + QByteArray(59, '\0');
    EXPECT_EQ(mountain->setOutputReport(command), 0u);
    EXPECT_EQ(testbed.readWritten(mountainNode, 65), QByteArray(1, '\0') + command);
    EXPECT_EQ(msd->setOutputReport(data), 0u);
    EXPECT_EQ(testbed.readWritten(msdNode, 1025), QByteArray(1, '\0') + data);
}

TEST_F(LinuxHidManager, NothingIsReportedAfterStopAndItStartsAgain) {
    const auto node = testbed.addHid(displayPad());
    ASSERT_TRUE(startWith(1));
    const auto device = recorder.attached[0];
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));

    ASSERT_TRUE(testbed.sendReport(node, displayPadKeyReport({2}, 64)));
    manager.stop();
    testbed.addHid(msdTwo());
    // Posted after stop: everything the reader had queued before it was joined runs first.
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(recorder.inputs.size(), 1u);
    EXPECT_EQ(recorder.attached.size(), 1u);
    EXPECT_TRUE(recorder.removed.empty()) << "stop closes devices without reporting removals";
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);

    ASSERT_TRUE(startWith(3));
    EXPECT_NE(recorder.attachedAt(node.devnode), device) << "reopened as a new device";
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));
    EXPECT_EQ(recorder.inputs.back().device, recorder.attachedAt(node.devnode));
}

// The store stops the manager when the application quits, which may happen from inside any
// handler, including the one the udev notifier is calling.
TEST_F(LinuxHidManager, HandlerMayStopTheManager) {
    HidManager::Handlers handlers = recorder.handlers();
    handlers.attached = [this, record = handlers.attached](const auto& device) {
        record(device);
        manager.stop();
    };
    manager.start(bothKinds(), handlers);
    testbed.addHid(displayPad());
    testbed.addHid(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    ASSERT_TRUE(drainMainThread());
    EXPECT_EQ(recorder.attached.size(), 1u) << "nothing after stop";
    EXPECT_EQ(recorder.attached[0]->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);
}

// A node that cannot be opened is logged once and not retried in a loop. After installing the
// udev rules the README has the user run `udevadm trigger`, which reports a change of each node:
// the node is tried again then, while an open one is left alone.
TEST_F(LinuxHidManager, UnopenableNodeIsLoggedOnceAndTriedAgainOnAChange) {
    LogCapture log;
    PadTestbed::HidInterface broken = displayPad();
    broken.answerIoctls = false;  // hidapi's open refuses a node that is not hidraw
    const auto node = testbed.addHid(broken);
    manager.start(bothKinds(), recorder.handlers());
    // A working pad attached afterwards shows that the broken one has been dealt with.
    const auto other = testbed.addHid(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    EXPECT_EQ(recorder.attached[0]->info().path, other.devnode);
    const QString prefix =
        QStringLiteral("Cannot open pad node ") + node.devnode + QStringLiteral(": ");
    const QStringList lines = log.lines();
    EXPECT_EQ(lines.filter(QRegularExpression(u'^' + QRegularExpression::escape(prefix))).size(), 1)
        << lines.join(u'\n').toStdString();

    testbed.answerIoctls(node);
    testbed.change(node);
    testbed.change(other);
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    EXPECT_EQ(recorder.attached[1]->info().path, node.devnode);
    ASSERT_TRUE(deliver(other, msdTwoReport(3, 1014, '\0')));
    EXPECT_EQ(recorder.attached.size(), 2u) << "the open pad is not attached twice";
}

}  // namespace linuxhid
