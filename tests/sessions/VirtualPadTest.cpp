#include "SessionTestSupport.h"

#include "core/MainThread.h"
#include "device/DisplayPadProtocol.h"
#include "device/MountainUsb.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"

namespace {
// Everything posted to the main thread before this call has run once it returns.
bool drainMainThread() {
    bool flushed = false;
    runOnMain([&] { flushed = true; });
    return waitUntil([&] { return flushed; });
}
}  // namespace

TEST(VirtualDisplayPad, KeysImagesAndTheImageInterfaceBehaveAsOnThePad) {
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
    for (const auto& [index, keys] : {std::pair{0, Keys{3}}, std::pair{1, Keys{3, 12}},
                                      std::pair{2, Keys{12}}, std::pair{3, Keys{}}}) {
        EXPECT_EQ(DisplayPadProtocol::pressedKeys(harness.inputs[index]), keys) << index;
    }

    // Images before the activation are ignored and counted.
    EXPECT_EQ(harness.device->setOutputReport(
                  DisplayPadProtocol::outputReport(DisplayPadProtocol::imageCommand(0))),
              0u);
    EXPECT_EQ(harness.device->setOutputReport(hexBytes("11 80")), UsbStatus::badArgument);
    EXPECT_EQ(pad->protocolErrors(), 2);
    EXPECT_FALSE(pad->isActivated());

    // The image interface is held exclusively until released.
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

TEST(VirtualMsdTwo, ControlsProduceAckReportsAndDataNeedsItsClosingStop) {
    auto pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    const DeviceKind kind = DeviceKind::msdTwo;
    pad->turn(kind.dials()[0], -2);  // one report per step
    pad->pressDial(kind.dials()[1]);
    pad->pressScreenButton(6);
    ASSERT_TRUE(waitUntil([&] { return harness.inputs.size() == 4; }));
    EXPECT_EQ(harness.inputs[0].left(7), QByteArray("ACK\0\0OK", 7));
    for (const auto& [index, control] :
         {std::pair{0, 0x50}, std::pair{1, 0x50}, std::pair{2, 0x33}, std::pair{3, 6}}) {
        EXPECT_EQ(uint8_t(harness.inputs[index][9]), control) << index;
    }

    const auto command = [](const QByteArray& body) {
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

// Unplugging, plugging and re-enumeration go through the store in tests/pipeline.
TEST(SimulatedHidManager, NothingIsDeliveredAfterStop) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    pad->press(1);
    harness.manager.stop();
    harness.manager.unplug(pad);
    // A marker posted behind the press: once it ran, the press would have been delivered too.
    ASSERT_TRUE(drainMainThread());
    EXPECT_TRUE(harness.inputs.isEmpty());
    EXPECT_TRUE(harness.removed.empty());
    EXPECT_EQ(harness.device->setOutputReport(QByteArray(64, '\0')), UsbStatus::noDevice)
        << "an unplugged pad's reference is dead";
}
