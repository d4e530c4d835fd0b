#include "config/BadgeStyle.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(BadgeStyle, FreshStyleDefaults) {
    const BadgeStyle style;
    EXPECT_FALSE(style.value);
    EXPECT_TRUE(style.displayed);
    EXPECT_FALSE(style.color);
    EXPECT_EQ(style.position, "top right");
    EXPECT_TRUE(style.truncation);
    EXPECT_EQ(BadgeStyle::positions().size(), 9);
    EXPECT_EQ(BadgeStyle::positions().first(), "top left");
    EXPECT_EQ(BadgeStyle::positions()[4], "middle middle");
    EXPECT_EQ(BadgeStyle::positions().last(), "bottom right");
}

TEST(BadgeStyle, NamedColoursIgnoreLetterCase) {
    for (const char* name :
         {"accent", "red", "orange", "yellow", "green", "mint", "teal", "cyan", "blue", "indigo",
          "purple", "pink", "brown", "gray", "grey", "black", "white"}) {
        const auto lower = BadgeStyle::resolveColor(QString(name));
        const auto upper = BadgeStyle::resolveColor(QString(name).toUpper());
        ASSERT_TRUE(lower) << name;
        ASSERT_TRUE(upper) << name;
        EXPECT_EQ(*lower, *upper) << name;
    }
    EXPECT_EQ(*BadgeStyle::resolveColor(QString("gray")),
              *BadgeStyle::resolveColor(QString("Grey")));
    EXPECT_EQ(*BadgeStyle::resolveColor(QString("white")), QColor(Qt::white));
    EXPECT_EQ(*BadgeStyle::resolveColor(QString("black")), QColor(Qt::black));
}

TEST(BadgeStyle, AbsentNameIsTheAccentButEmptyIsNoColour) {
    EXPECT_EQ(BadgeStyle::resolveColor(std::nullopt), BadgeStyle::accentColor());
    EXPECT_EQ(BadgeStyle::resolveColor(QString("accent")), BadgeStyle::accentColor());
    EXPECT_FALSE(BadgeStyle::resolveColor(QString("")));
    EXPECT_FALSE(BadgeStyle::resolveColor(QString("chartreuse")));
}

TEST(BadgeStyle, HexadecimalColours) {
    const auto opaque = BadgeStyle::resolveColor(QString("#FF8000"));
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->rgba(), qRgba(0xFF, 0x80, 0x00, 0xFF));
    const auto lower = BadgeStyle::resolveColor(QString("#ff8000"));
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, *opaque);

    const auto half = BadgeStyle::resolveColor(QString("#00FF0080"));
    ASSERT_TRUE(half);
    EXPECT_EQ(half->alpha(), 0x80);
    EXPECT_EQ(half->green(), 0xFF);

    for (const char* bad : {"#FFF", "#FF800", "#FF80000", "#FF80000011", "FF8000", "#GG8000",
                            "#FF 800", "#+F8000", "#"}) {
        EXPECT_FALSE(BadgeStyle::resolveColor(QString(bad))) << bad;
    }
}
