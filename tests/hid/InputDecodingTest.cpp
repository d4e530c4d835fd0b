#include "device/InputDecoding.h"

#include "support/PadReports.h"

#include <gtest/gtest.h>

using Events = std::vector<int>;

// A key fires when it goes down, once however long it is held; keys going down together fire in
// ascending order; a report that is no key state (a reply, a short report) is not a release.
TEST(InputDecoding, DisplayPadKeysFireOncePerPress) {
    QByteArray reply = QByteArray::fromHex("1180000001") + QByteArray(59, '\0');
    const std::pair<QByteArray, Events> reports[] = {
        {displayPadKeyReport({3}), {3}},
        {displayPadKeyReport({3, 5}), {5}},
        {reply, {}},
        {displayPadKeyReport({3, 5}).left(47), {}},
        {displayPadKeyReport({5}), {}},
        {displayPadKeyReport({}), {}},
        {displayPadKeyReport({3}), {3}},
        {displayPadKeyReport({12, 1, 3}), {1, 12}},
        {displayPadKeyReport({1, 7, 8, 12}), {7, 8}},
    };
    std::set<int> held;
    for (const auto& [report, expected] : reports) {
        EXPECT_EQ(InputDecoding::displayPadPresses(report, held), expected)
            << report.toHex().data();
    }
    EXPECT_EQ(held, (std::set<int>{1, 7, 8, 12}));
}

TEST(InputDecoding, MsdTwoReportCarriesOneControl) {
    EXPECT_EQ(InputDecoding::msdTwoControl(msdTwoReport(0x91)), 145) << "read as unsigned";
    EXPECT_EQ(InputDecoding::msdTwoControl(msdTwoReport(3).left(10)), 3) << "10 bytes suffice";
    QByteArray wrongPrefix = msdTwoReport(1), shiftedMarker = msdTwoReport(1);
    wrongPrefix[2] = 'L';  // "ACL"
    shiftedMarker[5] = 0;
    shiftedMarker[4] = 'O';
    for (const QByteArray& malformed : {msdTwoReport(1).left(9), wrongPrefix, shiftedMarker}) {
        EXPECT_FALSE(InputDecoding::msdTwoControl(malformed)) << malformed.toHex().data();
    }
}
