#include "PadTestbed.h"
#include "core/MainThread.h"
#include "device/DeviceKind.h"
#include "device/UsbStatus.h"
#include "device/linux/LinuxHidManager.h"
#include "support/TestSupport.h"

#include "support/PadReports.h"

#include <gtest/gtest.h>

#include <memory>

namespace linuxhid {
using RealManager = ::LinuxHidManager;

namespace {
PadTestbed::Interface displayPad() {
    PadTestbed::Interface pad;
    pad.vendorID = DeviceKind(DeviceKind::mountain).vendorID();
    pad.productID = DeviceKind(DeviceKind::mountain).productID();
    pad.usagePage = DeviceKind(DeviceKind::mountain).usagePage();
    pad.serial = QStringLiteral("ABC");
    pad.busNumber = 1;
    pad.devpath = QStringLiteral("2.3");
    pad.reportSize = 64;
    pad.interfaceNumber = 3;
    return pad;
}

PadTestbed::Interface msdTwo() {
    PadTestbed::Interface pad;
    pad.vendorID = DeviceKind(DeviceKind::msdTwo).vendorID();
    pad.productID = DeviceKind(DeviceKind::msdTwo).productID();
    pad.usagePage = DeviceKind(DeviceKind::msdTwo).usagePage();
    pad.busNumber = 3;
    pad.devpath = QStringLiteral("1");
    pad.reportSize = 1024;
    return pad;
}

std::vector<HidManager::Matching> bothKinds() {
    std::vector<HidManager::Matching> rules;
    for (DeviceKind kind : DeviceKind::allCases) {
        rules.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
    }
    return rules;
}

struct Input {
    uint32_t result;
    std::shared_ptr<HidDevice> device;
    QByteArray report;
    bool onMainThread;
};

// What the manager told, in order.
struct Recorder {
    std::vector<std::shared_ptr<HidDevice>> attached;
    std::vector<std::shared_ptr<HidDevice>> removed;
    std::vector<Input> inputs;
    // Inputs of a device that arrived after its removal was reported.
    int lateInputs = 0;
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
                for (const auto& gone : removed) {
                    lateInputs += gone == device ? 1 : 0;
                }
                inputs.push_back({result, device, report, isMainThread()});
            },
            {},
        };
    }

    std::shared_ptr<HidDevice> attachedAt(const QString& node) const {
        for (const auto& device : attached) {
            if (device->info().path == node) {
                return device;
            }
        }
        return nullptr;
    }

    int inputsFrom(const std::shared_ptr<HidDevice>& device) const {
        int count = 0;
        for (const Input& input : inputs) {
            count += input.device == device ? 1 : 0;
        }
        return count;
    }
};

}  // namespace

// Named after the class under test, which the alias above keeps reachable.
class LinuxHidManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PadTestbed::preloaded())
            << "run this test under umockdev-wrapper (ctest does), or it would see real devices";
        testbed = std::make_unique<PadTestbed>();
    }

    void TearDown() override {
        manager.stop();
        testbed.reset();
    }

    // Sends one report and waits for it on the main thread. Reports go one at a time: the test's
    // end of the node is a byte stream, so two reports written at once could be read as one.
    bool deliver(const PadTestbed::Node& node, const QByteArray& report) {
        const size_t before = recorder.inputs.size();
        return testbed->sendReport(node, report) &&
               waitUntil([&] { return recorder.inputs.size() > before; });
    }

    std::unique_ptr<PadTestbed> testbed;
    Recorder recorder;
    RealManager manager;
};

TEST_F(LinuxHidManager, PadsPresentAtStartAreReportedWithTheirProperties) {
    const auto mountainNode = testbed->add(displayPad());
    const auto msdNode = testbed->add(msdTwo());

    manager.start(bothKinds(), recorder.handlers());
    EXPECT_TRUE(recorder.attached.empty()) << "nothing is reported from inside start";
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    EXPECT_FALSE(recorder.offMainThread);

    const auto mountain = recorder.attachedAt(mountainNode.devnode);
    ASSERT_TRUE(mountain);
    EXPECT_EQ(mountain->info().vendorID, 0x3282);
    EXPECT_EQ(mountain->info().productID, 0x0009);
    EXPECT_EQ(mountain->info().primaryUsagePage, 0xFF00);
    EXPECT_EQ(mountain->info().locationID, 0x01230000u) << "bus 1, ports 2.3";
    EXPECT_EQ(mountain->info().serialNumber, QStringLiteral("ABC"));

    const auto msd = recorder.attachedAt(msdNode.devnode);
    ASSERT_TRUE(msd);
    EXPECT_EQ(msd->info().vendorID, 0x0B00);
    EXPECT_EQ(msd->info().productID, 0x1001);
    EXPECT_EQ(msd->info().primaryUsagePage, 0xFFA0);
    EXPECT_EQ(msd->info().locationID, 0x03100000u);
    EXPECT_FALSE(msd->info().serialNumber) << "no serial number is absent, not empty";
    EXPECT_EQ(DeviceKind(DeviceKind::msdTwo).identity(msd->info().serialNumber, 0x03100000),
              DeviceKind(DeviceKind::msdTwo).identity(std::nullopt, 0x03100000));
}

TEST_F(LinuxHidManager, OtherInterfacesAndDevicesAreIgnored) {
    PadTestbed::Interface keyboard = displayPad();  // the pad's own keyboard collection
    keyboard.usagePage = 0x0001;
    keyboard.interfaceNumber = 0;
    PadTestbed::Interface foreign = displayPad();  // someone else's vendor page on another port
    foreign.vendorID = 0x046d;
    foreign.productID = 0xc52b;
    foreign.devpath = QStringLiteral("4");
    PadTestbed::Interface mixed = msdTwo();  // MSD-TWO ids with the DisplayPad's page
    mixed.usagePage = 0xFF00;
    mixed.devpath = QStringLiteral("5");
    testbed->add(keyboard);
    testbed->add(foreign);
    testbed->add(mixed);
    const auto pad = testbed->add(displayPad());

    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return !recorder.attached.empty(); }));
    // One more pad after the start proves that every event before it was seen.
    const auto later = testbed->add(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() >= 2; }));
    ASSERT_EQ(recorder.attached.size(), 2u);
    EXPECT_TRUE(recorder.attachedAt(pad.devnode));
    EXPECT_TRUE(recorder.attachedAt(later.devnode));
}

TEST_F(LinuxHidManager, HotPluggedPadIsReportedAndItsRemovalToo) {
    manager.start(bothKinds(), recorder.handlers());
    const auto node = testbed->add(displayPad());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    const auto device = recorder.attached[0];
    EXPECT_EQ(device->info().path, node.devnode);

    testbed->remove(node);
    ASSERT_TRUE(waitUntil([&] { return recorder.removed.size() == 1; }));
    EXPECT_EQ(recorder.removed[0], device) << "the same object as was attached";
    EXPECT_FALSE(recorder.offMainThread);
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice)
        << "a session still holding the device learns that it is gone";

    // Plugged in again: a new device object.
    testbed->add(displayPad());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    EXPECT_NE(recorder.attached[1], device);
}

TEST_F(LinuxHidManager, InputReportsArriveOnTheMainThreadFromTheirDevice) {
    const auto mountainNode = testbed->add(displayPad());
    const auto msdNode = testbed->add(msdTwo());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    const auto mountain = recorder.attachedAt(mountainNode.devnode);
    const auto msd = recorder.attachedAt(msdNode.devnode);

    ASSERT_TRUE(deliver(mountainNode, displayPadKeyReport({3}, 64)));
    ASSERT_TRUE(deliver(msdNode, msdTwoReport(0x51, 1014, '\0')));
    ASSERT_TRUE(deliver(mountainNode, displayPadKeyReport({}, 64)));

    ASSERT_EQ(recorder.inputs.size(), 3u);
    EXPECT_EQ(recorder.inputs[0].device, mountain);
    EXPECT_EQ(recorder.inputs[0].report, displayPadKeyReport({3}, 64));
    EXPECT_EQ(recorder.inputs[1].device, msd);
    EXPECT_EQ(recorder.inputs[1].report, msdTwoReport(0x51, 1014, '\0')) << "1024 bytes, unchanged";
    EXPECT_EQ(recorder.inputs[2].report, displayPadKeyReport({}, 64));
    for (const Input& input : recorder.inputs) {
        EXPECT_EQ(input.result, 0u);
        EXPECT_TRUE(input.onMainThread);
    }
}

TEST_F(LinuxHidManager, OutputReportsGoOutWithReportIdZero) {
    const auto mountainNode = testbed->add(displayPad());
    const auto msdNode = testbed->add(msdTwo());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));

    QByteArray command = QByteArray::fromHex("1180000001");
    command.append(QByteArray(59, '\0'));
    EXPECT_EQ(recorder.attachedAt(mountainNode.devnode)->setOutputReport(command), 0u);
    EXPECT_EQ(testbed->readWritten(mountainNode, 65), QByteArray(1, '\0') + command);

    QByteArray data(1024, '\0');
    for (int i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7);
    }
    EXPECT_EQ(recorder.attachedAt(msdNode.devnode)->setOutputReport(data), 0u);
    EXPECT_EQ(testbed->readWritten(msdNode, 1025), QByteArray(1, '\0') + data);
}

// A report can be on its way to the main thread when the pad goes away; it must not reach the
// handlers after the removal. A report of a second pad, posted later, shows that the queue was
// worked through.
TEST_F(LinuxHidManager, NoReportFollowsRemoval) {
    const auto goingNode = testbed->add(displayPad());
    const auto stayingNode = testbed->add(msdTwo());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    const auto staying = recorder.attachedAt(stayingNode.devnode);

    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(testbed->sendReport(goingNode, displayPadKeyReport({1}, 64)));
    }
    testbed->remove(goingNode);
    ASSERT_TRUE(waitUntil([&] { return recorder.removed.size() == 1; }));
    ASSERT_TRUE(deliver(stayingNode, msdTwoReport(1, 1014, '\0')));
    EXPECT_EQ(recorder.lateInputs, 0);
    EXPECT_EQ(recorder.inputsFrom(staying), 1);
}

TEST_F(LinuxHidManager, NothingIsReportedAfterStop) {
    const auto node = testbed->add(displayPad());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    const auto device = recorder.attached[0];
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));

    ASSERT_TRUE(testbed->sendReport(node, displayPadKeyReport({2}, 64)));
    manager.stop();
    testbed->add(msdTwo());
    // Posted after stop: everything the reader had queued before it was joined runs first.
    bool drained = false;
    runOnMain([&drained] { drained = true; });
    ASSERT_TRUE(waitUntil([&] { return drained; }));
    EXPECT_EQ(recorder.inputs.size(), 1u);
    EXPECT_EQ(recorder.attached.size(), 1u);
    EXPECT_TRUE(recorder.removed.empty()) << "stop closes devices without reporting removals";
    EXPECT_EQ(device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);
}

// A node that cannot be opened is logged once, with its name, and is not retried in a loop.
TEST_F(LinuxHidManager, UnopenableNodeIsLoggedOnceAndSkipped) {
    LogCapture log;
    PadTestbed::Interface broken = displayPad();
    broken.answerIoctls = false;  // hidapi's open refuses a node that is not hidraw
    const auto brokenNode = testbed->add(broken);
    manager.start(bothKinds(), recorder.handlers());
    // A working pad attached afterwards shows that the broken one has been dealt with.
    const auto goodNode = testbed->add(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    EXPECT_EQ(recorder.attached[0]->info().path, goodNode.devnode);

    int mentions = 0;
    for (const QString& line : log.lines()) {
        mentions += line.startsWith(QStringLiteral("Cannot open pad node ") + brokenNode.devnode +
                                    QStringLiteral(": "))
                        ? 1
                        : 0;
    }
    EXPECT_EQ(mentions, 1) << log.lines().join(u'\n').toStdString();
}

// The store stops the manager when the application quits, which may happen from inside any
// handler, including the one the udev notifier is calling.
TEST_F(LinuxHidManager, HandlerMayStopTheManager) {
    HidManager::Handlers handlers = recorder.handlers();
    auto recordAttach = handlers.attached;
    handlers.attached = [this, recordAttach](const std::shared_ptr<HidDevice>& device) {
        recordAttach(device);
        manager.stop();
    };
    manager.start(bothKinds(), handlers);
    testbed->add(displayPad());
    testbed->add(msdTwo());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    bool drained = false;
    runOnMain([&drained] { drained = true; });
    ASSERT_TRUE(waitUntil([&] { return drained; }));
    EXPECT_EQ(recorder.attached.size(), 1u) << "nothing after stop";
    EXPECT_EQ(recorder.attached[0]->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice);
}

TEST_F(LinuxHidManager, StartsAgainAfterStop) {
    const auto node = testbed->add(displayPad());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));
    manager.stop();
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    EXPECT_NE(recorder.attached[1], recorder.attached[0]) << "reopened as a new device";
    ASSERT_TRUE(deliver(node, displayPadKeyReport({1}, 64)));
    EXPECT_EQ(recorder.inputs.back().device, recorder.attached[1]);
}

// After installing the udev rules the README has the user run `udevadm trigger`, which reports a
// change of each node; a node that could not be opened is tried again then, an open one is left
// alone.
TEST_F(LinuxHidManager, NodeIsTriedAgainWhenUdevReportsAChange) {
    LogCapture log;
    PadTestbed::Interface broken = displayPad();
    broken.answerIoctls = false;
    const auto node = testbed->add(broken);
    const auto other = testbed->add(msdTwo());
    manager.start(bothKinds(), recorder.handlers());
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 1; }));

    testbed->answerIoctls(node);
    testbed->change(node);
    testbed->change(other);
    ASSERT_TRUE(waitUntil([&] { return recorder.attached.size() == 2; }));
    EXPECT_EQ(recorder.attached[1]->info().path, node.devnode);
    ASSERT_TRUE(deliver(other, msdTwoReport(3, 1014, '\0')));
    EXPECT_EQ(recorder.attached.size(), 2u) << "the open pad is not attached twice";
}

}  // namespace linuxhid
