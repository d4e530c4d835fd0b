#include "device/DeviceRecoveryPolicy.h"

#include <gtest/gtest.h>

namespace {
const QString pad = QStringLiteral("mountain-73657269616c2d414243");
const QString other = QStringLiteral("mountain-706f72742d3030303030303261");

struct Marks {
    bool attempted;
    bool expectedDetach;
    friend bool operator==(const Marks&, const Marks&) = default;
};

Marks marks(const DeviceRecoveryPolicy& policy, const QString& id = pad) {
    return {policy.attempted.contains(id), policy.expectedDetach.contains(id)};
}
}  // namespace

TEST(DeviceRecoveryPolicy, FirstBeginRequestsAndMarksBoth) {
    DeviceRecoveryPolicy policy;
    EXPECT_TRUE(policy.begin(pad));
    EXPECT_EQ(marks(policy), (Marks{true, true}));
    EXPECT_EQ(marks(policy, other), (Marks{false, false}));
}

TEST(DeviceRecoveryPolicy, SecondBeginRefusesAndChangesNothing) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    EXPECT_FALSE(policy.begin(pad));
    EXPECT_EQ(marks(policy), (Marks{true, true}));
}

// The pad drops off the bus because it was re-enumerated, comes back and fails again: it must
// not be re-enumerated a second time.
TEST(DeviceRecoveryPolicy, ExpectedDetachKeepsTheAttempt) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.disconnected(pad);
    EXPECT_EQ(marks(policy), (Marks{true, false}));
    EXPECT_FALSE(policy.begin(pad));
    EXPECT_EQ(marks(policy), (Marks{true, false}));
}

TEST(DeviceRecoveryPolicy, SuccessfulStartAllowsRecoveryAgain) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.disconnected(pad);
    policy.initialized(pad);
    EXPECT_EQ(marks(policy), (Marks{false, false}));
    EXPECT_TRUE(policy.begin(pad));
}

TEST(DeviceRecoveryPolicy, InitializedClearsEvenAPendingRequest) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.initialized(pad);
    EXPECT_EQ(marks(policy), (Marks{false, false}));
}

TEST(DeviceRecoveryPolicy, UnplugWithoutRequestForgetsTheAttempt) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.disconnected(pad);  // the expected detach
    policy.disconnected(pad);  // the user pulls the cable after it came back
    EXPECT_EQ(marks(policy), (Marks{false, false}));
    EXPECT_TRUE(policy.begin(pad));
}

TEST(DeviceRecoveryPolicy, FailedRequestIsNotRetriedUntilUnplugged) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.requestFailed(pad);
    EXPECT_EQ(marks(policy), (Marks{true, false}));
    EXPECT_FALSE(policy.begin(pad)) << "second failure after a failed request";

    policy.disconnected(pad);  // not expected: the user unplugged it
    EXPECT_EQ(marks(policy), (Marks{false, false}));
    EXPECT_TRUE(policy.begin(pad));
}

TEST(DeviceRecoveryPolicy, FailedRequestClearsOnInitialized) {
    DeviceRecoveryPolicy policy;
    policy.begin(pad);
    policy.requestFailed(pad);
    policy.initialized(pad);
    EXPECT_TRUE(policy.begin(pad));
}

TEST(DeviceRecoveryPolicy, DetachOfAnIdleDeviceChangesNothing) {
    DeviceRecoveryPolicy policy;
    policy.begin(other);
    policy.disconnected(pad);
    policy.initialized(pad);
    policy.requestFailed(pad);
    EXPECT_EQ(marks(policy), (Marks{false, false}));
    EXPECT_EQ(marks(policy, other), (Marks{true, true})) << "another pad's marks are kept";
}
