#include "actions/AudioActions.h"
#include "actions/MacBrightnessActions.h"
#include "actions/PadBrightnessActions.h"

#include "FakeActionContext.h"
#include "FakeAudioOutput.h"
#include "FakeDisplayBrightness.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using Direction = AdjustmentDirection;

Binding dial(std::optional<int64_t> step = std::nullopt) {
    Binding binding(0x50, "Large dial counterclockwise");
    binding.adjustmentStep = step;
    return binding;
}

struct AudioFixture : ::testing::Test {
    void SetUp() override { context.platform.audio = audio; }

    // Runs `action` and waits for its report from the action queue.
    QString run(const MacroAction& action, const Binding& binding = dial()) {
        const qsizetype before = context.reports.size();
        action.perform(binding, context);
        EXPECT_TRUE(waitUntil([&] { return context.reports.size() > before; }));
        return context.message;
    }
    double level() {
        std::lock_guard lock(audio->mutex);
        return audio->level;
    }

    std::shared_ptr<FakeAudioOutput> audio = std::make_shared<FakeAudioOutput>();
    FakeActionContext context;
};

struct DisplayFixture : ::testing::Test {
    void SetUp() override { context.platform.displayBrightness = display; }

    std::shared_ptr<FakeDisplayBrightness> display = std::make_shared<FakeDisplayBrightness>();
    FakeActionContext context;
};

using VolumeAdjustmentTest = AudioFixture;
using MuteActionTest = AudioFixture;
using MacBrightnessAdjustmentTest = DisplayFixture;
using ToggleMacAutomaticBrightnessActionTest = DisplayFixture;

}  // namespace

TEST(AudioOutput, StepUpNeverLowersAnAmplifiedLevel) {
    FakeAudioOutput output;
    output.level = 1.5;
    EXPECT_DOUBLE_EQ(output.changeVolume(0.02), 1.5);
    EXPECT_DOUBLE_EQ(output.changeVolume(-0.1), 1.4);
}

TEST(AdjustmentAction, EachTypeHasItsOwnDefaultStep) {
    EXPECT_EQ(VolumeAdjustment(Direction::down).signedStep(dial()), -2);
    EXPECT_EQ(MacBrightnessAdjustment(Direction::up).signedStep(dial()), 5);
    EXPECT_EQ(PadBrightnessAdjustment(Direction::down).signedStep(dial()), -5);
}

TEST_F(VolumeAdjustmentTest, StepsOnTheQueueAndClearsTheStatusLine) {
    context.message = "No default audio output";
    EXPECT_EQ(run(VolumeAdjustment(Direction::up)), "");
    EXPECT_DOUBLE_EQ(level(), 0.52);
    EXPECT_EQ(context.reportsOffMain, 0);
}

TEST_F(VolumeAdjustmentTest, QuickTurnsApplyInOrderEachFromTheLastLevel) {
    for (int i = 0; i < 10; ++i) {
        VolumeAdjustment(Direction::down).perform(dial(3), context);
    }
    VolumeAdjustment(Direction::up).perform(dial(100), context);
    ASSERT_TRUE(waitUntil([&] { return context.reports.size() == 11; }));
    EXPECT_DOUBLE_EQ(level(), 1.0);
}

TEST_F(VolumeAdjustmentTest, FailuresAreReportedAndChangeNothing) {
    audio->volumeWritable = false;
    EXPECT_EQ(run(VolumeAdjustment(Direction::up)),
              "This audio output does not expose software volume control");
    EXPECT_DOUBLE_EQ(level(), 0.5);
    context.platform.audio.reset();
    EXPECT_EQ(run(VolumeAdjustment(Direction::up)), "No default audio output");
}

TEST_F(MuteActionTest, TogglesAndReportsFailures) {
    EXPECT_EQ(run(MuteAction()), "");
    {
        std::lock_guard lock(audio->mutex);
        EXPECT_TRUE(audio->muted);
        audio->failure = "Cannot read mute state";
    }
    EXPECT_EQ(run(MuteAction()), "Cannot read mute state");
    context.platform.audio.reset();
    EXPECT_EQ(run(MuteAction()), "No default audio output");
}

TEST_F(MacBrightnessAdjustmentTest, ChangesWithinRangeThenSyncsThePadThenClears) {
    MacBrightnessAdjustment(Direction::down).perform(dial(), context);
    EXPECT_DOUBLE_EQ(display->current, 0.45);
    EXPECT_EQ(context.calls, (QStringList{"syncPadBrightness", "report: "}));
    MacBrightnessAdjustment(Direction::down).perform(dial(250), context);
    EXPECT_DOUBLE_EQ(display->current, 0.0);
}

TEST_F(MacBrightnessAdjustmentTest, FailureIsReportedAndThePadIsLeftAlone) {
    display->failure = "This Mac display does not expose native brightness control";
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    context.platform.displayBrightness.reset();
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    EXPECT_EQ(context.calls,
              (QStringList{"report: This Mac display does not expose native brightness control",
                           "report: Mac display brightness control is unavailable"}));
}

TEST_F(ToggleMacAutomaticBrightnessActionTest, SwitchesThenSyncsThePadOrReportsWhyNot) {
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(display->automaticOn);
    display->ignoreAutomatic = true;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    display->automaticSupported = false;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    EXPECT_EQ(context.calls,
              (QStringList{"syncPadBrightness",
                           "report: ", "report: Could not toggle Mac automatic brightness",
                           "report: This Mac display does not support automatic brightness"}));
}

TEST(PadBrightnessAdjustment, ChangesThePadBySignedStepAndReportsNothing) {
    FakeActionContext context;
    PadBrightnessAdjustment(Direction::down).perform(dial(), context);
    PadBrightnessAdjustment(Direction::up).perform(dial(150), context);
    EXPECT_EQ(context.calls, (QStringList{"changePadBrightness -5", "changePadBrightness 100"}));
}

TEST(TogglePadAdaptiveBrightnessAction, TogglesAndReportsTheOutcome) {
    FakeActionContext context;
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(context.followMac);
    context.toggleFailure = "Could not read Mac display brightness";
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    EXPECT_EQ(context.calls, (QStringList{"togglePadFollowMac", "report: ", "togglePadFollowMac",
                                          "report: Could not read Mac display brightness"}));
}
