#include "SessionTestSupport.h"

#include "core/MainThread.h"
#include "device/DisplayPadProtocol.h"
#include "device/MountainUsb.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(VirtualDisplayPad, PressesAndReleasesProduceKeyStateReports) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);

    pad->press(3);
    pad->press(12);
    pad->release(3);
    pad->release(12);
    ASSERT_TRUE(waitUntil([&] { return harness.inputs.size() == 4; }));

    using Keys = std::set<int>;
    EXPECT_EQ(harness.inputs[0].size(), 64);
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(harness.inputs[0]), Keys{3});
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(harness.inputs[1]), (Keys{3, 12}));
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(harness.inputs[2]), Keys{12});
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(harness.inputs[3]), Keys{});
}

TEST(VirtualDisplayPad, IgnoresImagesBeforeActivationAndCountsIt) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);

    const QByteArray command =
        DisplayPadProtocol::outputReport(DisplayPadProtocol::imageCommand(0));
    EXPECT_EQ(harness.device->setOutputReport(command), 0u);
    EXPECT_EQ(harness.device->setOutputReport(hexBytes("11 80")), UsbStatus::badArgument);
    EXPECT_EQ(pad->protocolErrors(), 2);
    EXPECT_FALSE(pad->isActivated());
}

TEST(VirtualDisplayPad, TheImageInterfaceIsHeldExclusivelyUntilReleased) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    auto usb = harness.manager.usb();

    IOReturn error = 0;
    auto first = mountain_open(*usb, 0x01300000, error);
    ASSERT_TRUE(first);
    EXPECT_FALSE(mountain_open(*usb, 0x01300000, error));
    EXPECT_EQ(error, UsbStatus::exclusiveAccess);
    EXPECT_FALSE(mountain_open(*usb, 0x01400000, error));
    EXPECT_EQ(error, UsbStatus::notFound);
    mountain_close(first);
    EXPECT_TRUE(mountain_open(*usb, 0x01300000, error));
}

TEST(VirtualMsdTwo, ControlsProduceAckReportsOnePerStep) {
    auto pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    const DeviceKind kind = DeviceKind::msdTwo;

    pad->turn(kind.dials()[0], -2);
    pad->pressDial(kind.dials()[1]);
    pad->pressScreenButton(6);
    ASSERT_TRUE(waitUntil([&] { return harness.inputs.size() == 4; }));

    const QByteArray& first = harness.inputs[0];
    EXPECT_TRUE(first.startsWith("ACK"));
    EXPECT_EQ(first.mid(5, 2), QByteArray("OK"));
    EXPECT_EQ(static_cast<uint8_t>(harness.inputs[0][9]), 0x50);
    EXPECT_EQ(static_cast<uint8_t>(harness.inputs[1][9]), 0x50);
    EXPECT_EQ(static_cast<uint8_t>(harness.inputs[2][9]), 0x33);
    EXPECT_EQ(static_cast<uint8_t>(harness.inputs[3][9]), 6);
}

TEST(VirtualMsdTwo, DataWithoutItsClosingStopIsAProtocolError) {
    auto pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    auto command = [](const QByteArray& body) {
        return QByteArray("CRT\0\0", 5) + body + QByteArray(1019 - body.size(), '\0');
    };

    harness.device->setOutputReport(command("DIS"));
    harness.device->setOutputReport(command(QByteArray("BAT\0\0\0\x10\x01", 8)));
    for (int slice = 0; slice < 8; ++slice) {
        harness.device->setOutputReport(QByteArray(1024, 'x'));
    }
    harness.device->setOutputReport(command("CONNECT"));
    EXPECT_EQ(pad->protocolErrors(), 1);
    EXPECT_EQ(pad->imagesReceived(1), 0);
}

TEST(SimulatedHidManager, UnplugAndPlugGiveANewDeviceReference) {
    auto pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    const auto first = harness.device;

    harness.manager.unplug(pad);
    harness.manager.plug(pad);
    ASSERT_TRUE(waitUntil([&] { return harness.attached.size() == 2; }));

    ASSERT_EQ(harness.removed.size(), 1u);
    EXPECT_EQ(harness.removed[0], first);
    EXPECT_NE(harness.attached[1], first);
    EXPECT_EQ(first->setOutputReport(QByteArray(1024, '\0')), UsbStatus::noDevice);
}

TEST(SimulatedHidManager, ReenumerationDropsThePadAndAttachesItAgain) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);

    EXPECT_EQ(mountain_reenumerate(*harness.manager.usb(), 0x01300000), 0u);
    EXPECT_EQ(mountain_reenumerate(*harness.manager.usb(), 0x01500000), UsbStatus::notFound);
    ASSERT_TRUE(waitUntil([&] { return harness.attached.size() == 2; }));
    EXPECT_EQ(harness.removed.size(), 1u);
    EXPECT_EQ(harness.manager.usb()->reenumerations(), 1);
}

TEST(SimulatedHidManager, NothingIsDeliveredAfterStop) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);

    pad->press(1);
    harness.manager.stop();
    harness.manager.unplug(pad);
    // A marker posted behind the press: once it ran, the press would have been delivered too.
    bool flushed = false;
    runOnMain([&] { flushed = true; });
    ASSERT_TRUE(waitUntil([&] { return flushed; }));
    EXPECT_TRUE(harness.inputs.isEmpty());
    EXPECT_TRUE(harness.removed.empty());
}

TEST(SimulatedHidManager, PadsOfOtherKindsAreNotMatched) {
    SimulatedHidManager manager;
    manager.add(VirtualMsdTwo::create(0x02100000));
    HidManager::Handlers handlers;
    int attached = 0;
    handlers.attached = [&](const std::shared_ptr<HidDevice>&) { ++attached; };
    const DeviceKind kind = DeviceKind::mountain;
    manager.start({{kind.vendorID(), kind.productID(), kind.usagePage()}}, handlers);
    bool flushed = false;
    runOnMain([&] { flushed = true; });
    ASSERT_TRUE(waitUntil([&] { return flushed; }));
    EXPECT_EQ(attached, 0);
}
