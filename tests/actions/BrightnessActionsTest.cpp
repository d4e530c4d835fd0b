#include "actions/MacBrightnessActions.h"
#include "actions/PadBrightnessActions.h"

#include "FakeActionContext.h"

#include <gtest/gtest.h>

namespace {

using Direction = AdjustmentDirection;

Binding dial(std::optional<int64_t> step = std::nullopt) {
    Binding binding(0x50, "Large dial counterclockwise");
    binding.adjustmentStep = step;
    return binding;
}

struct ActionFixture : ::testing::Test {
    void SetUp() override { context.platform.displayBrightness = display; }

    std::shared_ptr<FakeDisplayBrightness> display = std::make_shared<FakeDisplayBrightness>();
    FakeActionContext context;
};

using MacBrightnessActionsTest = ActionFixture;
using PadBrightnessActionsTest = ActionFixture;

}  // namespace

TEST_F(MacBrightnessActionsTest, ChangeOrToggleThenSyncThePadOrReportWhyNot) {
    MacBrightnessAdjustment(Direction::down).perform(dial(), context);
    EXPECT_DOUBLE_EQ(display->current, 0.45);
    MacBrightnessAdjustment(Direction::down).perform(dial(250), context);
    EXPECT_DOUBLE_EQ(display->current, 0.0);
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(display->automaticOn);
    display->ignoreAutomatic = true;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    display->automaticSupported = false;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    display->failure = "This Mac display does not expose native brightness control";
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    context.platform.displayBrightness.reset();
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    const QStringList synced{"syncPadBrightness", "report: "};
    EXPECT_EQ(context.calls,
              synced + synced + synced +
                  QStringList({"report: Could not toggle Mac automatic brightness",
                               "report: This Mac display does not support automatic brightness",
                               "report: This Mac display does not expose native brightness control",
                               "report: Mac display brightness control is unavailable"}));
}

TEST_F(PadBrightnessActionsTest, StepThePadOrToggleFollowingAndReportTheOutcome) {
    PadBrightnessAdjustment(Direction::down).perform(dial(), context);
    PadBrightnessAdjustment(Direction::up).perform(dial(150), context);
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(context.followMac);
    context.toggleFailure = "Could not read Mac display brightness";
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    EXPECT_EQ(context.calls, (QStringList{"changePadBrightness -5", "changePadBrightness 100",
                                          "togglePadFollowMac", "report: ", "togglePadFollowMac",
                                          "report: Could not read Mac display brightness"}));
}
