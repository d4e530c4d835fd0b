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

TEST(LocationID, OneDigitPerPortFromTheRootAndNothingForImpossibleInput) {
    EXPECT_EQ(location(1, {2, 3}), 0x01230000u);
    EXPECT_EQ(location(3, {15, 1, 2, 3, 4, 5}), 0x03f12345u);
    EXPECT_EQ(location(255, {}), 0xff000000u);
    for (const auto& [bus, ports] : {std::pair{256, std::vector{1}}, std::pair{1, std::vector{0}},
                                     std::pair{1, std::vector{1, 2, 3, 4, 5, 6, 7, 1}}}) {
        EXPECT_FALSE(location(bus, ports)) << bus;
    }
}

// Truncation would make a path that does not fit (a port above 15, more than six ports) equal
// to a real path's location; folded, it is the bus byte, a zero digit and a non-zero rest.
TEST(LocationID, PathThatDoesNotFitIsFoldedNeverEqualToOneThatFits) {
    std::set<uint32_t> folded;
    for (int port = 16; port <= 255; ++port) {
        for (int second : {1, 16, 200}) {
            const uint32_t value = *location(2, {port, second});
            EXPECT_EQ(value & 0xFFF00000u, 0x02000000u) << port << "." << second;
            EXPECT_NE(value, 0x02000000u);
            folded.insert(value);
        }
    }
    EXPECT_EQ(folded.size(), 240u * 3u) << "distinct paths stay distinct in practice";
    EXPECT_EQ(*location(1, {1, 2, 3, 4, 5, 6, 7}) & 0xFFF00000u, 0x01000000u);
}

TEST(LocationID, ParsesSysfsDevpath) {
    EXPECT_EQ(LocationID::parsePortPath(u"1.14.2"), (std::vector<int>{1, 14, 2}));
    for (const char16_t* text : {u"", u"0", u"2.", u"a", u"+2", u"2.300"}) {
        EXPECT_FALSE(LocationID::parsePortPath(text)) << QString::fromUtf16(text).toStdString();
    }
}
