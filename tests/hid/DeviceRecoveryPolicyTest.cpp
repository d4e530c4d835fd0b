#include "device/DeviceRecoveryPolicy.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

// Each row runs steps on one pad: B and b are `begin` expected to grant and to refuse, d
// `disconnected`, i `initialized`, f `requestFailed`, o a `begin` of another pad; then the pad's
// marks (attempted, expectedDetach) are checked.
TEST(DeviceRecoveryPolicy, StepsLeaveTheirMarks) {
    const QString pad = QStringLiteral("mountain-1"), other = QStringLiteral("mountain-2");
    const std::tuple<const char*, bool, bool> cases[] = {
        {"B", true, true},
        // The pad drops off the bus because it was re-enumerated, comes back and fails again:
        // it is not re-enumerated a second time; a successful start allows it again.
        {"Bdb", true, false},
        {"BdiB", true, true},
        {"Bi", false, false},  // even with the request still pending
        {"BddB", true, true},  // the user pulls the cable after the pad came back
        // A failed request is not retried until the pad is unplugged or initializes.
        {"BfbdB", true, true},
        {"BfiB", true, true},
        {"odif", false, false},  // an idle pad's events change nothing, nor other pads
    };
    for (const auto& [steps, attempted, expectedDetach] : cases) {
        SCOPED_TRACE(steps);
        DeviceRecoveryPolicy policy;
        const std::map<char, std::function<void()>> run = {
            {'B', [&] { EXPECT_TRUE(policy.begin(pad)); }},
            {'b', [&] { EXPECT_FALSE(policy.begin(pad)); }},
            {'o', [&] { EXPECT_TRUE(policy.begin(other)); }},
            {'d', [&] { policy.disconnected(pad); }},
            {'i', [&] { policy.initialized(pad); }},
            {'f', [&] { policy.requestFailed(pad); }},
        };
        for (const char* step = steps; *step; ++step) {
            run.at (*step)();
        }
        EXPECT_EQ(std::pair(policy.attempted.contains(pad), policy.expectedDetach.contains(pad)),
                  std::pair(attempted, expectedDetach));
    }
}
