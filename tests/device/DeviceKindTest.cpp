#include "device/DeviceKind.h"

#include <gtest/gtest.h>

TEST(DeviceKind, PerKindFactsAndMatching) {
    const DeviceKind mountain = DeviceKind::mountain, msd = DeviceKind::msdTwo;
    EXPECT_EQ(DeviceKind::allCases.size(), 2u);
    for (const auto& [kind, raw, name, keys, aspect] :
         {std::tuple{mountain, "mountain", "Mountain DisplayPad", 12, 3.0},
          std::tuple{msd, "msdTwo", "MSD-TWO", 6, 4.0 / 3.0}}) {
        EXPECT_EQ(kind.rawValue(), raw);
        EXPECT_EQ(kind.name(), name);
        EXPECT_EQ(kind.keyCount(), keys);
        EXPECT_DOUBLE_EQ(kind.backgroundAspect(), aspect);
        EXPECT_EQ(DeviceKind::fromRawValue(raw), kind);
        EXPECT_EQ(DeviceKind::matching(kind.vendorID(), kind.productID()), kind);
    }
    EXPECT_EQ(std::tuple(mountain.vendorID(), mountain.productID(), mountain.usagePage()),
              std::tuple(0x3282, 0x0009, 0xFF00));
    EXPECT_EQ(std::tuple(msd.vendorID(), msd.productID(), msd.usagePage()),
              std::tuple(0x0B00, 0x1001, 0xFFA0));
    for (const char* raw : {"MSD-TWO", "Mountain", ""}) {
        EXPECT_FALSE(DeviceKind::fromRawValue(raw)) << raw;
    }
    // Vendor and product must be of the same kind.
    EXPECT_FALSE(DeviceKind::matching(0x3282, 0x1001));
    EXPECT_FALSE(DeviceKind::matching(0x0B00, 0x0009));
}

TEST(DeviceKind, IdentityFromSerialOrLocation) {
    const DeviceKind mountain = DeviceKind::mountain, msd = DeviceKind::msdTwo;
    EXPECT_EQ(mountain.identity(QString("ABC"), 0x01230000), "mountain-73657269616c2d414243");
    // No serial, or an empty one: the location.
    EXPECT_EQ(msd.identity(std::nullopt, 0x2A), "msdTwo-706f72742d3030303030303261");
    EXPECT_EQ(msd.identity(QString(""), 0x2A), "msdTwo-706f72742d3030303030303261");
    // Non-ASCII serials are written byte by byte of their UTF-8 form.
    EXPECT_EQ(mountain.identity(QString::fromUtf8("\xC3\xA9"), 0), "mountain-73657269616c2dc3a9");
    EXPECT_EQ(mountain.identity(std::nullopt, 0xFFFFFFFF),
              "mountain-" + QString::fromLatin1(QByteArray("port-ffffffff").toHex()));
}

TEST(DeviceKind, ControlLayoutAndDials) {
    const DeviceKind msd = DeviceKind::msdTwo, mountain = DeviceKind::mountain;
    std::vector<int> numbers;
    for (const auto& control : msd.otherControls()) {
        numbers.push_back(control.number);
    }
    EXPECT_EQ(numbers, (std::vector<int>{81, 80, 53, 145, 144, 51, 97, 96, 52, 37, 48, 49}));
    EXPECT_EQ(msd.controlName(81), "Large dial clockwise");
    EXPECT_EQ(msd.controlName(144), "Left small dial counterclockwise");
    EXPECT_EQ(msd.controlName(49), "Right circular button");
    EXPECT_EQ(msd.controlName(6), "LCD key 6");
    EXPECT_EQ(msd.controlName(7), "");
    EXPECT_EQ(mountain.controlName(12), "LCD key 12");
    EXPECT_TRUE(mountain.otherControls().empty() && mountain.dials().empty());
    ASSERT_EQ(msd.dials().size(), 3u);
    EXPECT_EQ(msd.dial(53), (DialGroup{80, 53, 81}));
    EXPECT_EQ(msd.dial(145), (DialGroup{144, 51, 145}));
    EXPECT_EQ(msd.dial(96), (DialGroup{96, 52, 97}));
    for (int control : {1, 6, 37, 48, 49}) {
        EXPECT_FALSE(msd.dial(control)) << control;
    }
}
