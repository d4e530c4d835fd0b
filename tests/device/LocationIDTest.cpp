#include "device/LocationID.h"

#include <QString>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {
std::optional<uint32_t> location(int bus, std::vector<int> ports) {
    return LocationID::fromPortPath(bus, ports);
}
}  // namespace

TEST(LocationID, OneDigitPerPortFromTheRoot) {
    EXPECT_EQ(location(1, {2, 3}), 0x01230000u);
    EXPECT_EQ(location(0x14, {1}), 0x14100000u);
    EXPECT_EQ(location(3, {15, 1, 2, 3, 4, 5}), 0x03f12345u);
    EXPECT_EQ(location(255, {}), 0xff000000u);
}

TEST(LocationID, PathThatDoesNotFitIsFoldedNotTruncated) {
    const auto wide = location(1, {16});
    const auto deep = location(1, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(wide && deep);
    // Truncation would have made these equal to a real path's location.
    EXPECT_NE(*wide, 0x01000000u);
    EXPECT_NE(*deep, 0x01123456u);
    // Folded form: bus byte, zero digit, non-zero rest.
    EXPECT_EQ(*wide & 0xFFF00000u, 0x01000000u);
    EXPECT_NE(*wide & 0x000FFFFFu, 0u);
    EXPECT_EQ(*deep & 0xFFF00000u, 0x01000000u);
    EXPECT_EQ(location(1, {16}), wide) << "the same path always gives the same location";
}

TEST(LocationID, FoldedLocationsNeverEqualFittingOnes) {
    std::set<uint32_t> fitting;
    for (int a = 0; a <= 15; ++a) {
        for (int b = 0; b <= 15; ++b) {
            std::vector<int> ports;
            if (a > 0) {
                ports.push_back(a);
                if (b > 0) {
                    ports.push_back(b);
                }
            }
            fitting.insert(*location(2, ports));
        }
    }
    std::set<uint32_t> folded;
    for (int port = 16; port <= 255; ++port) {
        for (int second : {1, 16, 200}) {
            const uint32_t value = *location(2, {port, second});
            EXPECT_FALSE(fitting.count(value)) << port << "." << second;
            folded.insert(value);
        }
    }
    // Distinct paths that do not fit stay distinct in practice.
    EXPECT_EQ(folded.size(), 240u * 3u);
}

TEST(LocationID, ImpossibleInputGivesNoLocation) {
    EXPECT_FALSE(location(256, {1}));
    EXPECT_FALSE(location(-1, {1}));
    EXPECT_FALSE(location(1, {0}));
    EXPECT_FALSE(location(1, {256}));
    EXPECT_FALSE(location(1, {1, 2, 3, 4, 5, 6, 7, 1}));
}

TEST(LocationID, ParsesSysfsDevpath) {
    EXPECT_EQ(LocationID::parsePortPath(u"2"), (std::vector<int>{2}));
    EXPECT_EQ(LocationID::parsePortPath(u"2.3"), (std::vector<int>{2, 3}));
    EXPECT_EQ(LocationID::parsePortPath(u"1.14.2"), (std::vector<int>{1, 14, 2}));
}

TEST(LocationID, RejectsMalformedDevpath) {
    for (const char16_t* text :
         {u"", u"0", u"2.", u".2", u"2..3", u"a", u"2.-3", u"+2", u" 2", u"2.300"}) {
        EXPECT_FALSE(LocationID::parsePortPath(text)) << QString::fromUtf16(text).toStdString();
    }
}
