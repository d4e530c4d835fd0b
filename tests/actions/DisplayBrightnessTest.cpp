#include "FakeDisplayBrightness.h"

#include "core/ActionError.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

TEST(DisplayBrightness, UnreadableLevelChangesNothing) {
    FakeDisplayBrightness display;
    display.failure = "This Mac display does not expose native brightness control";
    EXPECT_EQ(actionErrorOf([&] { display.change(0.05); }),
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
    EXPECT_EQ(actionErrorOf([&] { display.toggleAutomatic(); }),
              "Could not toggle Mac automatic brightness");
}

TEST(DisplayBrightness, UnsupportedAutomaticBrightnessSaysSo) {
    FakeDisplayBrightness display;
    display.automaticSupported = false;
    EXPECT_EQ(actionErrorOf([&] { display.toggleAutomatic(); }),
              "This Mac display does not support automatic brightness");
}
