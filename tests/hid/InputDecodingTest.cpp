#include "device/InputDecoding.h"

#include "support/PadReports.h"

#include <gtest/gtest.h>

namespace {

using Events = std::vector<int>;
}  // namespace

TEST(InputDecoding, HeldKeyFiresOnceAndReleasedKeysAreForgotten) {
    std::set<int> held;
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({3}), held), (Events{3}));
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({3, 5}), held), (Events{5}));
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({5}), held), (Events{}));
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({}), held), (Events{}));
    EXPECT_TRUE(held.empty());
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({3}), held), (Events{3}))
        << "pressed again after release";
}

TEST(InputDecoding, KeysGoingDownTogetherComeInAscendingOrder) {
    std::set<int> held;
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({12, 1}), held),
              (Events{1, 12}));
    EXPECT_EQ(held, (std::set<int>{1, 12}));
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({1, 7, 8, 12}), held),
              (Events{7, 8}));
}

TEST(InputDecoding, ReplyBetweenKeyReportsKeepsHeldKeys) {
    std::set<int> held;
    InputDecoding::displayPadPresses(displayPadKeyReport({4}), held);
    QByteArray reply = QByteArray::fromHex("1180000001");
    reply.append(QByteArray(59, '\0'));
    EXPECT_EQ(InputDecoding::displayPadPresses(reply, held), (Events{}));
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({4}).left(47), held),
              (Events{}));
    EXPECT_EQ(held, (std::set<int>{4})) << "a reply is not a release";
    EXPECT_EQ(InputDecoding::displayPadPresses(displayPadKeyReport({4}), held), (Events{}));
}

TEST(InputDecoding, MsdTwoReportCarriesOneControl) {
    EXPECT_EQ(InputDecoding::msdTwoControl(msdTwoReport(0x51)), 81) << "large dial clockwise";
    EXPECT_EQ(InputDecoding::msdTwoControl(msdTwoReport(0x91)), 145) << "read as unsigned";
    EXPECT_EQ(InputDecoding::msdTwoControl(msdTwoReport(3).left(10)), 3) << "10 bytes suffice";
}

TEST(InputDecoding, MalformedMsdTwoReportsDeliverNothing) {
    EXPECT_FALSE(InputDecoding::msdTwoControl(msdTwoReport(1).left(9)));
    QByteArray wrongPrefix = msdTwoReport(1);
    wrongPrefix[2] = 'L';  // "ACL"
    EXPECT_FALSE(InputDecoding::msdTwoControl(wrongPrefix));
    QByteArray wrongMarker = msdTwoReport(1);
    wrongMarker[6] = 'X';
    EXPECT_FALSE(InputDecoding::msdTwoControl(wrongMarker));
    QByteArray shiftedMarker = msdTwoReport(1);
    shiftedMarker[5] = 0;
    shiftedMarker[4] = 'O';
    EXPECT_FALSE(InputDecoding::msdTwoControl(shiftedMarker));
    EXPECT_FALSE(InputDecoding::msdTwoControl(QByteArray()));
}

TEST(InputDecoding, EventsFollowThePadKind) {
    std::set<int> held;
    EXPECT_EQ(InputDecoding::controlEvents(DeviceKind::mountain, displayPadKeyReport({2, 9}), held),
              (Events{2, 9}));
    EXPECT_EQ(InputDecoding::controlEvents(DeviceKind::msdTwo, msdTwoReport(0x35), held),
              (Events{53}));
    EXPECT_EQ(held, (std::set<int>{2, 9})) << "MSD-TWO reports leave DisplayPad state alone";
    EXPECT_EQ(InputDecoding::controlEvents(DeviceKind::msdTwo, displayPadKeyReport({1}), held),
              (Events{}))
        << "a DisplayPad report means nothing to an MSD-TWO";
    EXPECT_EQ(InputDecoding::controlEvents(DeviceKind::mountain, msdTwoReport(1), held),
              (Events{}));
}
