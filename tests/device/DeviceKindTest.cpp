#include "device/DeviceKind.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DeviceKind, PerKindFacts) {
    const DeviceKind mountain = DeviceKind::mountain;
    const DeviceKind msd = DeviceKind::msdTwo;
    EXPECT_EQ(mountain.rawValue(), "mountain");
    EXPECT_EQ(mountain.name(), "Mountain DisplayPad");
    EXPECT_EQ(mountain.keyCount(), 12);
    EXPECT_DOUBLE_EQ(mountain.backgroundAspect(), 3.0);
    EXPECT_EQ(mountain.vendorID(), 0x3282);
    EXPECT_EQ(mountain.productID(), 0x0009);
    EXPECT_EQ(mountain.usagePage(), 0xFF00);

    EXPECT_EQ(msd.rawValue(), "msdTwo");
    EXPECT_EQ(msd.name(), "MSD-TWO");
    EXPECT_EQ(msd.keyCount(), 6);
    EXPECT_DOUBLE_EQ(msd.backgroundAspect(), 4.0 / 3.0);
    EXPECT_EQ(msd.vendorID(), 0x0B00);
    EXPECT_EQ(msd.productID(), 0x1001);
    EXPECT_EQ(msd.usagePage(), 0xFFA0);

    ASSERT_EQ(DeviceKind::allCases.size(), 2u);
    EXPECT_EQ(DeviceKind::allCases[0], DeviceKind::mountain);
    EXPECT_EQ(DeviceKind::allCases[1], DeviceKind::msdTwo);
}

TEST(DeviceKind, RawValueRoundTripsAndRejectsOtherStrings) {
    EXPECT_EQ(DeviceKind::fromRawValue("mountain"), DeviceKind(DeviceKind::mountain));
    EXPECT_EQ(DeviceKind::fromRawValue("msdTwo"), DeviceKind(DeviceKind::msdTwo));
    EXPECT_FALSE(DeviceKind::fromRawValue("MSD-TWO"));
    EXPECT_FALSE(DeviceKind::fromRawValue("Mountain"));
    EXPECT_FALSE(DeviceKind::fromRawValue(""));
}

TEST(DeviceKind, MatchingNeedsVendorAndProductOfTheSameKind) {
    EXPECT_EQ(DeviceKind::matching(0x3282, 0x0009), DeviceKind(DeviceKind::mountain));
    EXPECT_EQ(DeviceKind::matching(0x0B00, 0x1001), DeviceKind(DeviceKind::msdTwo));
    EXPECT_FALSE(DeviceKind::matching(0x3282, 0x1001));
    EXPECT_FALSE(DeviceKind::matching(0x0B00, 0x0009));
    EXPECT_FALSE(DeviceKind::matching(0, 0));
}

TEST(DeviceKind, IdentityFromSerialOrLocation) {
    EXPECT_EQ(DeviceKind(DeviceKind::mountain).identity(QString("ABC"), 0x01230000),
              "mountain-73657269616c2d414243");
    EXPECT_EQ(DeviceKind(DeviceKind::msdTwo).identity(std::nullopt, 0x2A),
              "msdTwo-706f72742d3030303030303261");
    // An empty serial counts as absent.
    EXPECT_EQ(DeviceKind(DeviceKind::msdTwo).identity(QString(""), 0x2A),
              "msdTwo-706f72742d3030303030303261");
    // Non-ASCII serials are written byte by byte of their UTF-8 form.
    EXPECT_EQ(DeviceKind(DeviceKind::mountain).identity(QString::fromUtf8("\xC3\xA9"), 0),
              "mountain-73657269616c2dc3a9");
    // The full 32 bits of the location, zero-padded.
    EXPECT_EQ(DeviceKind(DeviceKind::mountain).identity(std::nullopt, 0xFFFFFFFF),
              "mountain-" + QString::fromLatin1(QByteArray("port-ffffffff").toHex()));
}

TEST(DeviceKind, ControlLayout) {
    const DeviceKind msd = DeviceKind::msdTwo;
    const auto controls = msd.otherControls();
    ASSERT_EQ(controls.size(), 12u);
    const int expectedNumbers[] = {81, 80, 53, 145, 144, 51, 97, 96, 52, 37, 48, 49};
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].number, expectedNumbers[i]);
    }
    EXPECT_EQ(msd.controlName(81), "Large dial clockwise");
    EXPECT_EQ(msd.controlName(144), "Left small dial counterclockwise");
    EXPECT_EQ(msd.controlName(49), "Right circular button");
    EXPECT_EQ(msd.controlName(6), "LCD key 6");
    EXPECT_EQ(msd.controlName(7), "");
    EXPECT_EQ(DeviceKind(DeviceKind::mountain).controlName(12), "LCD key 12");
    EXPECT_TRUE(DeviceKind(DeviceKind::mountain).otherControls().empty());
}

TEST(DeviceKind, DialGroups) {
    const DeviceKind msd = DeviceKind::msdTwo;
    ASSERT_EQ(msd.dials().size(), 3u);
    EXPECT_EQ(msd.dial(53), (DialGroup{80, 53, 81}));
    EXPECT_EQ(msd.dial(145), (DialGroup{144, 51, 145}));
    EXPECT_EQ(msd.dial(96), (DialGroup{96, 52, 97}));
    for (int control : {1, 2, 3, 4, 5, 6, 37, 48, 49}) {
        EXPECT_FALSE(msd.dial(control)) << control;
    }
    EXPECT_TRUE(DeviceKind(DeviceKind::mountain).dials().empty());
}
