#include "config/DeviceAppearance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const DeviceAppearance initial{QStringLiteral("MSD-TWO"), 80, false};

DeviceAppearance withBrightness(const QString& value) {
    return DeviceAppearance::read({{QStringLiteral("brightness"), value}}, initial);
}

}  // namespace

TEST(DeviceAppearance, BrightnessIsClampedOrFallsBackToEighty) {
    EXPECT_EQ(withBrightness(QStringLiteral("55")).displayBrightness, 55);
    EXPECT_EQ(withBrightness(QStringLiteral("250")).displayBrightness, 100);
    EXPECT_EQ(withBrightness(QStringLiteral("-3")).displayBrightness, 0);
    EXPECT_EQ(withBrightness(QStringLiteral("+7")).displayBrightness, 7);
    EXPECT_EQ(withBrightness(QStringLiteral("bright")).displayBrightness, 80);
    EXPECT_EQ(withBrightness(QStringLiteral("50.5")).displayBrightness, 80);
    EXPECT_EQ(withBrightness(QStringLiteral(" 50")).displayBrightness, 80);
    EXPECT_EQ(withBrightness(QString()).displayBrightness, 80);
    EXPECT_EQ(withBrightness(QStringLiteral("99999999999999999999999")).displayBrightness, 80);
}

TEST(DeviceAppearance, EmptyFileGivesEightyAndNoFollowing) {
    const DeviceAppearance start{QStringLiteral("Pad"), 30, true};
    const DeviceAppearance read = DeviceAppearance::read({}, start);
    EXPECT_EQ(read.displayBrightness, 80);
    EXPECT_FALSE(read.padFollowMac);
    EXPECT_EQ(read.deviceName, QStringLiteral("Pad"));
    // Only a non-empty name replaces the name.
    EXPECT_EQ(DeviceAppearance::read({{QStringLiteral("deviceName"), QString()}}, start).deviceName,
              QStringLiteral("Pad"));
    EXPECT_EQ(
        DeviceAppearance::read({{QStringLiteral("deviceName"), QStringLiteral("Desk")}}, start)
            .deviceName,
        QStringLiteral("Desk"));
}

TEST(DeviceAppearance, FollowingIsOnOnlyForExactlyTrue) {
    const auto follows = [](const QString& value) {
        return DeviceAppearance::read({{QStringLiteral("followMacBrightness"), value}}, initial)
            .padFollowMac;
    };
    EXPECT_TRUE(follows(QStringLiteral("true")));
    EXPECT_FALSE(follows(QStringLiteral("TRUE")));
    EXPECT_FALSE(follows(QStringLiteral("1")));
    EXPECT_FALSE(follows(QStringLiteral("false")));
}

TEST(DeviceAppearance, WritesExactlyThreeEntries) {
    const AppearanceMap map = DeviceAppearance{QStringLiteral("Desk"), 35, true}.toMap();
    EXPECT_EQ(map, (AppearanceMap{{QStringLiteral("brightness"), QStringLiteral("35")},
                                  {QStringLiteral("followMacBrightness"), QStringLiteral("true")},
                                  {QStringLiteral("deviceName"), QStringLiteral("Desk")}}));
    EXPECT_EQ(DeviceAppearance::read(map, initial),
              (DeviceAppearance{QStringLiteral("Desk"), 35, true}));
}
