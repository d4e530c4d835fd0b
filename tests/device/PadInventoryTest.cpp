#include "device/PadInventory.h"

#include <gtest/gtest.h>

// Only interfaces with their kind's usage page and matching ids are pads, once per node.
TEST(PadInventory, KeepsOnlyInterfacesWithTheKindsUsagePageOncePerNode) {
    const auto interface = [](QString path, int vendor, int product, int usagePage) {
        HidInterfaceInfo info;
        info.hidPath = std::move(path);
        info.vendorID = vendor;
        info.productID = product;
        info.usagePage = usagePage;
        info.serial = QStringLiteral("ABC");
        return info;
    };
    const auto pads = PadInventory::supportedPads({
        interface("/dev/hidraw0", 0x3282, 0x0009, 0x0001),  // the pad's keyboard collection
        interface("/dev/hidraw1", 0x3282, 0x0009, 0xFF00),
        interface("/dev/hidraw1", 0x3282, 0x0009, 0xFF00),  // a second collection, same node
        interface("/dev/hidraw2", 0x0B00, 0x1001, 0xFF00),  // MSD-TWO ids, DisplayPad page
        interface("/dev/hidraw5", 0x3282, 0x1001, 0xFFA0),  // mixed ids
        interface("/dev/hidraw6", 0x0B00, 0x1001, 0xFFA0),
    });
    ASSERT_EQ(pads.size(), 2u);
    EXPECT_EQ(std::tuple(pads[0].kind, pads[0].hidPath, pads[0].id),
              std::tuple(DeviceKind(DeviceKind::mountain), QString("/dev/hidraw1"),
                         QString("mountain-73657269616c2d414243")));
    EXPECT_EQ(std::tuple(pads[1].kind, pads[1].hidPath),
              std::tuple(DeviceKind(DeviceKind::msdTwo), QString("/dev/hidraw6")));
}
