#include "device/DeviceKind.h"
#include "device/ImageInterfaceSelection.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr uint8_t bulk = 0x02;
constexpr uint8_t interrupt = 0x03;
constexpr uint8_t isochronous = 0x01;

UsbDeviceIdentity pad(uint32_t location) {
    return {location, 0x3282, 0x0009};
}
}  // namespace

TEST(ImageInterfaceSelection, RawIdsAgreeWithTheDeviceKind) {
    EXPECT_EQ(ImageInterfaceSelection::vendorID, DeviceKind(DeviceKind::mountain).vendorID());
    EXPECT_EQ(ImageInterfaceSelection::productID, DeviceKind(DeviceKind::mountain).productID());
}

TEST(ImageInterfaceSelection, MatchesOnlyTheDisplayPadAtThatLocation) {
    EXPECT_TRUE(ImageInterfaceSelection::matches_device(pad(0x01230000), 0x01230000));
    EXPECT_FALSE(ImageInterfaceSelection::matches_device(pad(0x01240000), 0x01230000));
    EXPECT_FALSE(ImageInterfaceSelection::matches_device({0x01230000, 0x0B00, 0x1001}, 0x01230000));
    EXPECT_FALSE(ImageInterfaceSelection::matches_device({0x01230000, 0x3282, 0x1001}, 0x01230000));
    EXPECT_FALSE(ImageInterfaceSelection::matches_device({0x01230000, 0x0B00, 0x0009}, 0x01230000));
}

TEST(ImageInterfaceSelection, DeviceWithUnknownLocationNeverMatches) {
    UsbDeviceIdentity unknown = pad(0);
    unknown.locationID.reset();
    EXPECT_FALSE(ImageInterfaceSelection::matches_device(unknown, 0));
}

TEST(ImageInterfaceSelection, PicksFirstOutEndpointTwoOfInterfaceOne) {
    const std::vector<UsbInterfaceDescriptor> interfaces = {
        {0, 0, {{0x02, interrupt}, {0x81, interrupt}}},  // endpoint 2 of another interface
        {1, 0, {{0x82, bulk}, {0x01, bulk}, {0x02, interrupt}, {0x02, bulk}}},
    };
    const auto chosen = ImageInterfaceSelection::chooseImageEndpoint(interfaces);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->interfaceNumber, 1);
    EXPECT_EQ(chosen->alternate, 0);
    EXPECT_EQ(chosen->address, 0x02);
    EXPECT_FALSE(chosen->bulk);
}

TEST(ImageInterfaceSelection, BulkEndpointIsAcceptedAndIsochronousIsNot) {
    const std::vector<UsbInterfaceDescriptor> interfaces = {
        {1, 0, {{0x02, isochronous}, {0x02, bulk}}},
    };
    const auto chosen = ImageInterfaceSelection::chooseImageEndpoint(interfaces);
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(chosen->bulk);
}

TEST(ImageInterfaceSelection, LaterAlternateSettingIsUsedWhenTheFirstLacksTheEndpoint) {
    const std::vector<UsbInterfaceDescriptor> interfaces = {
        {1, 0, {}},
        {1, 1, {{0x02, bulk}}},
    };
    const auto chosen = ImageInterfaceSelection::chooseImageEndpoint(interfaces);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->alternate, 1);
}

TEST(ImageInterfaceSelection, NoSuitableEndpointGivesNothing) {
    const std::vector<UsbInterfaceDescriptor> interfaces = {
        {0, 0, {{0x02, bulk}}},
        {1, 0, {{0x82, bulk}, {0x03, bulk}, {0x02, isochronous}}},
    };
    EXPECT_TRUE(ImageInterfaceSelection::hasImageInterface(interfaces));
    EXPECT_FALSE(ImageInterfaceSelection::chooseImageEndpoint(interfaces));
}

TEST(ImageInterfaceSelection, DeviceWithoutInterfaceOneHasNoImageInterface) {
    const std::vector<UsbInterfaceDescriptor> interfaces = {{0, 0, {{0x02, bulk}}}};
    EXPECT_FALSE(ImageInterfaceSelection::hasImageInterface(interfaces));
    EXPECT_FALSE(ImageInterfaceSelection::chooseImageEndpoint(interfaces));
}
