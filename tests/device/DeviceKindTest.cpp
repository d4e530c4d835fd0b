#include "device/DeviceKind.h"

#include <QStringList>

#include <gtest/gtest.h>

// The ids are pinned by the Linux backends' tests in tests/hid, which find the pads by them.
TEST(DeviceKind, PerKindFactsAndMatching) {
    for (const auto& [kind, raw, name, keys, aspect] :
         {std::tuple{DeviceKind(DeviceKind::mountain), "mountain", "Mountain DisplayPad", 12, 3.0},
          std::tuple{DeviceKind(DeviceKind::msdTwo), "msdTwo", "MSD-TWO", 6, 4.0 / 3.0}}) {
        EXPECT_EQ(std::tuple(kind.rawValue(), kind.name(), kind.keyCount()),
                  std::tuple(QString(raw), QString(name), keys));
        EXPECT_DOUBLE_EQ(kind.backgroundAspect(), aspect);
        EXPECT_EQ(DeviceKind::fromRawValue(raw), kind);
        EXPECT_EQ(DeviceKind::matching(kind.vendorID(), kind.productID()), kind);
    }
    EXPECT_FALSE(DeviceKind::fromRawValue("MSD-TWO"));
    // Vendor and product must be of the same kind.
    EXPECT_FALSE(DeviceKind::matching(0x3282, 0x1001));
}

TEST(DeviceKind, IdentityFromSerialOrLocation) {
    const DeviceKind mountain = DeviceKind::mountain, msd = DeviceKind::msdTwo;
    // "serial-ABC" and "port-0000002a" in hex; an empty serial is none.
    EXPECT_EQ(mountain.identity(QString("ABC"), 0x01230000), "mountain-73657269616c2d414243");
    EXPECT_EQ(msd.identity(QString(""), 0x2A), "msdTwo-706f72742d3030303030303261");
    // Non-ASCII serials are written byte by byte of their UTF-8 form.
    EXPECT_EQ(mountain.identity(QString::fromUtf8("\xC3\xA9"), 0), "mountain-73657269616c2dc3a9");
}

TEST(DeviceKind, ControlLayoutAndDials) {
    const DeviceKind msd = DeviceKind::msdTwo, mountain = DeviceKind::mountain;
    std::vector<int> numbers;
    for (const auto& control : msd.otherControls()) {
        numbers.push_back(control.number);
    }
    EXPECT_EQ(numbers, (std::vector<int>{81, 80, 53, 145, 144, 51, 97, 96, 52, 37, 48, 49}));
    EXPECT_EQ(QStringList({msd.controlName(144), msd.controlName(6), msd.controlName(7),
                           mountain.controlName(12)}),
              QStringList({"Left small dial counterclockwise", "LCD key 6", "", "LCD key 12"}));
    EXPECT_TRUE(mountain.otherControls().empty() && mountain.dials().empty());
    ASSERT_EQ(msd.dials().size(), 3u);
    EXPECT_EQ(msd.dial(53), (DialGroup{80, 53, 81}));
    EXPECT_EQ(msd.dial(145), (DialGroup{144, 51, 145}));
    EXPECT_FALSE(msd.dial(37));
}
