#include "FakeAudioOutput.h"

#include "core/ActionError.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

QString errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ActionError& error) {
        return error.message();
    }
    return "(no error)";
}

}  // namespace

TEST(AudioOutput, StepUpNeverLowersAnAmplifiedLevel) {
    FakeAudioOutput output;
    output.level = 1.5;
    EXPECT_DOUBLE_EQ(output.changeVolume(0.02), 1.5);
    EXPECT_DOUBLE_EQ(output.changeVolume(-0.1), 1.4);
}

TEST(AudioOutput, RefusedVolumeFailsWithItsMessageAndChangesNothing) {
    FakeAudioOutput output;
    output.volumeWritable = false;
    EXPECT_EQ(errorOf([&] { output.changeVolume(0.02); }),
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
