#include "FakeDisplayBrightness.h"

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

TEST(DisplayBrightness, UnreadableLevelChangesNothing) {
    FakeDisplayBrightness display;
    display.failure = "This Mac display does not expose native brightness control";
    EXPECT_EQ(errorOf([&] { display.change(0.05); }),
              "This Mac display does not expose native brightness control");
    EXPECT_EQ(display.writes, 0);
}

TEST(DisplayBrightness, ToggleAutomaticSwitchesBothWays) {
    FakeDisplayBrightness display;
    display.toggleAutomatic();
    EXPECT_TRUE(display.automaticOn);
    display.toggleAutomatic();
    EXPECT_FALSE(display.automaticOn);
}

TEST(DisplayBrightness, SwitchThatIsSilentlyIgnoredIsAFailure) {
    FakeDisplayBrightness display;
    display.ignoreAutomatic = true;
    EXPECT_EQ(errorOf([&] { display.toggleAutomatic(); }),
              "Could not toggle Mac automatic brightness");
}

TEST(DisplayBrightness, UnsupportedAutomaticBrightnessSaysSo) {
    FakeDisplayBrightness display;
    display.automaticSupported = false;
    EXPECT_EQ(errorOf([&] { display.toggleAutomatic(); }),
              "This Mac display does not support automatic brightness");
}
