#include "device/DeviceRecoveryPolicy.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

// Each row runs steps on one pad and checks both pads' marks afterwards: B and b are `begin`
// expected to grant and to refuse, d `disconnected`, i `initialized`, f `requestFailed`, and o a
// `begin` of the other pad.
TEST(DeviceRecoveryPolicy, StepsLeaveTheirMarks) {
    const QString pad = QStringLiteral("mountain-73657269616c2d414243");
    const QString other = QStringLiteral("mountain-706f72742d3030303030303261");
    const struct {
        const char* steps;
        bool attempted, expectedDetach, otherMarked = false;
    } cases[] = {
        {"B", true, true},
        {"Bb", true, true},
        // The pad drops off the bus because it was re-enumerated, comes back and fails again:
        // it is not re-enumerated a second time.
        {"Bdb", true, false},
        {"Bdi", false, false},
        {"BdiB", true, true},  // a successful start allows it again
        {"Bi", false, false},  // even with the request still pending
        // The user pulls the cable after the pad came back.
        {"Bdd", false, false},
        {"BddB", true, true},
        // A failed request is not retried until the pad is unplugged or initializes.
        {"Bfb", true, false},
        {"Bfbd", false, false},
        {"BfbdB", true, true},
        {"BfiB", true, true},
        {"odif", false, false, true},  // an idle pad's events change nothing, nor other pads
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        DeviceRecoveryPolicy policy;
        const std::map<char, std::function<void()>> steps = {
            {'B', [&] { EXPECT_TRUE(policy.begin(pad)); }},
            {'b', [&] { EXPECT_FALSE(policy.begin(pad)); }},
            {'o', [&] { EXPECT_TRUE(policy.begin(other)); }},
            {'d', [&] { policy.disconnected(pad); }},
            {'i', [&] { policy.initialized(pad); }},
            {'f', [&] { policy.requestFailed(pad); }},
        };
        for (const char* step = c.steps; *step; ++step) {
            steps.at (*step)();
        }
        EXPECT_EQ(policy.attempted.contains(pad), c.attempted);
        EXPECT_EQ(policy.expectedDetach.contains(pad), c.expectedDetach);
        EXPECT_EQ(policy.attempted.contains(other) && policy.expectedDetach.contains(other),
                  c.otherMarked);
    }
}
