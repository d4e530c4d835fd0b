#include "config/BadgeStyle.h"
#include "config/DeviceAppearance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ConfigurationValues, BadgeColoursAndAppearanceValuesAreReadStrictly) {
    for (const char* name : {"accent", "red", "orange", "yellow", "green", "mint", "teal", "cyan",
                             "blue", "indigo", "purple", "pink", "brown", "gray", "black"}) {
        const auto lower = BadgeStyle::resolveColor(QString(name));
        ASSERT_TRUE(lower) << name;
        EXPECT_EQ(BadgeStyle::resolveColor(QString(name).toUpper()), lower) << name;
    }
    const std::pair<std::optional<QString>, std::optional<QColor>> cases[] = {
        {std::nullopt, BadgeStyle::accentColor()},  // absent is the accent, empty is no colour
        {"", std::nullopt},
        {"Grey", BadgeStyle::resolveColor(QString("gray"))},
        {"white", QColor(Qt::white)},
        {"#00FF0080", QColor(0x00, 0xFF, 0x00, 0x80)}};
    for (const auto& [name, color] : cases) {
        EXPECT_EQ(BadgeStyle::resolveColor(name), color) << name.value_or("(none)");
    }
    for (const char* bad : {"#FFF", "#FF800", "#FF80000", "#FF80000011", "FF8000", "#GG8000",
                            "#FF 800", "#+F8000", "#"}) {
        EXPECT_FALSE(BadgeStyle::resolveColor(QString(bad))) << bad;
    }
    // Appearance values are read strictly, clamped or fall back, and are written as three entries.
    const DeviceAppearance initial{"Pad", 30, true};
    const struct {
        AppearanceMap map;
        DeviceAppearance expected;
    } appearances[] = {
        // An empty file gives eighty and no following; only a non-empty name replaces the name.
        {{}, {"Pad", 80, false}},
        {{{"brightness", "55"}, {"deviceName", ""}}, {"Pad", 55, false}},
        {{{"brightness", "250"}, {"deviceName", "Desk"}}, {"Desk", 100, false}},
        {{{"brightness", "-3"}, {"followMacBrightness", "true"}}, {"Pad", 0, true}},
        {{{"brightness", "+7"}, {"followMacBrightness", "TRUE"}}, {"Pad", 7, false}},
        {{{"brightness", "bright"}, {"followMacBrightness", "1"}}, {"Pad", 80, false}},
        {{{"brightness", "50.5"}}, {"Pad", 80, false}},
        {{{"brightness", "99999999999999999999999"}}, {"Pad", 80, false}}};
    for (const auto& [map, expected] : appearances) {
        EXPECT_EQ(DeviceAppearance::read(map, initial), expected)
            << map.value("brightness").toStdString();
    }
    const AppearanceMap written = DeviceAppearance{"Desk", 35, true}.toMap();
    EXPECT_EQ(written,
              (AppearanceMap{
                  {"brightness", "35"}, {"followMacBrightness", "true"}, {"deviceName", "Desk"}}));
    EXPECT_EQ(DeviceAppearance::read(written, initial), (DeviceAppearance{"Desk", 35, true}));
}
