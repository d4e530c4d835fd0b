#include "actions/linux/LinuxPlatformServices.h"

#include <gtest/gtest.h>

// Each action reports a missing service as that service's failure, so a service left out here
// would look to the user like broken hardware rather than a gap in the program.
TEST(LinuxPlatformServices, ProvidesEveryService) {
    const PlatformServices services = linuxPlatformServices();
    EXPECT_TRUE(services.audio);
    EXPECT_TRUE(services.displayBrightness);
    EXPECT_TRUE(services.input);
    EXPECT_TRUE(services.nowPlaying);
    EXPECT_TRUE(services.workspace);
    EXPECT_TRUE(services.scripts);
}
