#include "device/DeviceKind.h"
#include "device/ImageInterfaceSelection.h"

#include <gtest/gtest.h>

#include <vector>

// Other locations and devices, and the choice of a setting, go through libusb in tests/usb.
TEST(ImageInterfaceSelection, MatchesOnlyTheDisplayPadAtThatLocation) {
    EXPECT_EQ(ImageInterfaceSelection::vendorID, DeviceKind(DeviceKind::mountain).vendorID());
    EXPECT_EQ(ImageInterfaceSelection::productID, DeviceKind(DeviceKind::mountain).productID());
    const uint32_t at = 0x01230000;
    EXPECT_TRUE(ImageInterfaceSelection::matches_device({at, 0x3282, 0x0009}, at));
    EXPECT_FALSE(ImageInterfaceSelection::matches_device({at, 0x3282, 0x1001}, at));
    UsbDeviceIdentity unknown{0, 0x3282, 0x0009};
    unknown.locationID.reset();
    EXPECT_FALSE(ImageInterfaceSelection::matches_device(unknown, 0));
}

// The first out endpoint 2 of interface 1 that is bulk or interrupt.
TEST(ImageInterfaceSelection, PicksFirstOutEndpointTwoOfInterfaceOne) {
    constexpr uint8_t isochronous = 0x01, bulk = 0x02, interrupt = 0x03;
    const std::pair<std::vector<UsbInterfaceDescriptor>, bool> cases[] = {
        {{{0, 0, {{0x02, bulk}, {0x81, interrupt}}},
          {1, 0, {{0x82, bulk}, {0x01, bulk}, {0x02, interrupt}, {0x02, bulk}}}},
         false},
        {{{1, 0, {{0x02, isochronous}, {0x02, bulk}}}}, true},
    };
    for (const auto& [interfaces, bulkChosen] : cases) {
        const auto chosen = ImageInterfaceSelection::chooseImageEndpoint(interfaces);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(
            std::tuple(chosen->interfaceNumber, chosen->alternate, chosen->address, chosen->bulk),
            std::tuple(1, 0, 0x02, bulkChosen));
    }
}
