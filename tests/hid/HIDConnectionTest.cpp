#include "RecordingDevice.h"
#include "device/HIDConnection.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(HIDConnection, StartsUninitializedAndKeepsItsDevice) {
    auto device = std::make_shared<RecordingDevice>();
    HIDConnection connection(device);
    EXPECT_FALSE(connection.initialized);
    EXPECT_EQ(connection.device(), device);
}

TEST(HIDConnection, BelongsOnlyToTheSameDeviceObject) {
    auto device = std::make_shared<RecordingDevice>(QStringLiteral("/dev/hidraw1"));
    auto reattached = std::make_shared<RecordingDevice>(QStringLiteral("/dev/hidraw1"));
    HIDConnection connection(device);
    EXPECT_TRUE(connection.belongsTo(device.get()));
    EXPECT_FALSE(connection.belongsTo(reattached.get())) << "same node, new object";
    EXPECT_FALSE(connection.belongsTo(nullptr));
}

TEST(HIDConnection, RefusesANullDevice) {
    EXPECT_THROW(HIDConnection(nullptr), std::invalid_argument);
}
