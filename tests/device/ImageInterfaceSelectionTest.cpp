#include "device/DeviceKind.h"
#include "device/ImageInterfaceSelection.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ImageInterfaceSelection, MatchesOnlyTheDisplayPadAtThatLocation) {
    EXPECT_EQ(ImageInterfaceSelection::vendorID, DeviceKind(DeviceKind::mountain).vendorID());
    EXPECT_EQ(ImageInterfaceSelection::productID, DeviceKind(DeviceKind::mountain).productID());
    const uint32_t at = 0x01230000;
    EXPECT_TRUE(ImageInterfaceSelection::matches_device({at, 0x3282, 0x0009}, at));
    for (const UsbDeviceIdentity& other :
         {UsbDeviceIdentity{0x01240000, 0x3282, 0x0009}, UsbDeviceIdentity{at, 0x0B00, 0x1001},
          UsbDeviceIdentity{at, 0x3282, 0x1001}, UsbDeviceIdentity{at, 0x0B00, 0x0009}}) {
        EXPECT_FALSE(ImageInterfaceSelection::matches_device(other, at));
    }
    UsbDeviceIdentity unknown{0, 0x3282, 0x0009};
    unknown.locationID.reset();
    EXPECT_FALSE(ImageInterfaceSelection::matches_device(unknown, 0));
}

// The first out endpoint 2 of interface 1 that is bulk or interrupt, in whichever alternate
// setting has it.
TEST(ImageInterfaceSelection, PicksFirstOutEndpointTwoOfInterfaceOne) {
    constexpr uint8_t isochronous = 0x01, bulk = 0x02, interrupt = 0x03;
    const struct {
        std::vector<UsbInterfaceDescriptor> interfaces;
        std::optional<std::tuple<int, bool>> chosen;  // alternate, bulk
        bool hasImageInterface = true;
    } cases[] = {
        {{{0, 0, {{0x02, interrupt}, {0x81, interrupt}}},
          {1, 0, {{0x82, bulk}, {0x01, bulk}, {0x02, interrupt}, {0x02, bulk}}}},
         std::tuple{0, false}},
        {{{1, 0, {{0x02, isochronous}, {0x02, bulk}}}}, std::tuple{0, true}},
        {{{1, 0, {}}, {1, 1, {{0x02, bulk}}}}, std::tuple{1, true}},
        {{{0, 0, {{0x02, bulk}}}, {1, 0, {{0x82, bulk}, {0x03, bulk}, {0x02, isochronous}}}}, {}},
        {{{0, 0, {{0x02, bulk}}}}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interfaces.size());
        EXPECT_EQ(ImageInterfaceSelection::hasImageInterface(c.interfaces), c.hasImageInterface);
        const auto chosen = ImageInterfaceSelection::chooseImageEndpoint(c.interfaces);
        ASSERT_EQ(chosen.has_value(), c.chosen.has_value());
        if (chosen) {
            EXPECT_EQ(std::tuple(chosen->interfaceNumber, chosen->address), std::tuple(1, 0x02));
            EXPECT_EQ(std::tuple(chosen->alternate, chosen->bulk), *c.chosen);
        }
    }
}
