#include "SessionTestSupport.h"

#include "device/DisplayPadProtocol.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"

// The pads' own checks, on which other tests rely when they find no protocol errors. Their
// controls reach the models through tests/app (VirtualPads).
TEST(VirtualDisplayPad, ImagesBeforeTheActivationAreProtocolErrors) {
    auto pad = VirtualDisplayPad::create(0x01300000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
    // Images before the activation are ignored and counted.
    EXPECT_EQ(harness.device->setOutputReport(
                  DisplayPadProtocol::outputReport(DisplayPadProtocol::imageCommand(0))),
              0u);
    EXPECT_EQ(harness.device->setOutputReport(hexBytes("11 80")), UsbStatus::badArgument);
    EXPECT_EQ(pad->protocolErrors(), 2);
    EXPECT_FALSE(pad->isActivated());
}

TEST(VirtualMsdTwo, DataNeedsItsClosingStop) {
    auto pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    harness.startWith(pad);
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
