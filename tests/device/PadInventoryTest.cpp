#include "device/PadInventory.h"

#include <gtest/gtest.h>

namespace {
HidInterfaceInfo interface(QString path, int vendor, int product, int usagePage) {
    HidInterfaceInfo info;
    info.hidPath = std::move(path);
    info.vendorID = vendor;
    info.productID = product;
    info.usagePage = usagePage;
    info.locationID = 0x01230000;
    return info;
}
}  // namespace

// Only interfaces with their kind's usage page are pads, once per node; the id comes from the
// serial number, or else the location.
TEST(PadInventory, KeepsOnlyInterfacesWithTheKindsUsagePage) {
    HidInterfaceInfo withSerial = interface("/dev/hidraw1", 0x3282, 0x0009, 0xFF00);
    withSerial.serial = QStringLiteral("ABC");
    HidInterfaceInfo emptySerial = interface("/dev/hidraw3", 0x0B00, 0x1001, 0xFFA0);
    emptySerial.serial = QString();
    emptySerial.locationID = 0x2A;
    HidInterfaceInfo unknownLocation = interface("/dev/hidraw6", 0x0B00, 0x1001, 0xFFA0);
    unknownLocation.locationID.reset();
    const auto pads = PadInventory::supportedPads({
        interface("/dev/hidraw0", 0x3282, 0x0009, 0x0001),  // the pad's keyboard collection
        withSerial,
        withSerial,  // a second collection of the page on the same node
        interface("/dev/hidraw2", 0x0B00, 0x1001, 0xFF00),  // MSD-TWO ids, DisplayPad page
        emptySerial,
        interface("/dev/hidraw4", 0x046d, 0xc52b, 0xFF00),  // someone else's vendor page
        interface("/dev/hidraw5", 0x3282, 0x1001, 0xFFA0),  // mixed ids
        unknownLocation,
    });
    ASSERT_EQ(pads.size(), 3u);
    EXPECT_EQ(pads[0].kind, DeviceKind::mountain);
    EXPECT_EQ(pads[0].hidPath, "/dev/hidraw1");
    EXPECT_EQ(pads[0].id, "mountain-73657269616c2d414243");
    EXPECT_EQ(pads[1].kind, DeviceKind::msdTwo);
    EXPECT_EQ(pads[1].hidPath, "/dev/hidraw3");
    EXPECT_EQ(pads[1].id, "msdTwo-706f72742d3030303030303261");
    EXPECT_EQ(pads[2].id, DeviceKind(DeviceKind::msdTwo).identity(std::nullopt, 0));
    EXPECT_FALSE(pads[2].locationID);
}
