#include "FakeAudioOutput.h"

#include "core/ActionError.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

TEST(AudioOutput, StepUpNeverLowersAnAmplifiedLevel) {
    FakeAudioOutput output;
    output.level = 1.5;
    EXPECT_DOUBLE_EQ(output.changeVolume(0.02), 1.5);
    EXPECT_DOUBLE_EQ(output.changeVolume(-0.1), 1.4);
}

TEST(AudioOutput, RefusedVolumeFailsWithItsMessageAndChangesNothing) {
    FakeAudioOutput output;
    output.volumeWritable = false;
    EXPECT_EQ(actionErrorOf([&] { output.changeVolume(0.02); }),
              "This audio output does not expose software volume control");
    EXPECT_DOUBLE_EQ(output.level, 0.5);
}

TEST(AudioOutput, ToggleMuteFlipsAndReturnsTheNewState) {
    FakeAudioOutput output;
    EXPECT_TRUE(output.toggleMute());
    EXPECT_TRUE(output.muted);
    EXPECT_FALSE(output.toggleMute());
    EXPECT_FALSE(output.muted);
}
