#include "device/DisplayPadProtocol.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(DisplayPadProtocol, CommandsHaveTheirExactBytesAndRefuseWhatDoesNotFit) {
    EXPECT_EQ(DisplayPadProtocol::imageCommand(0), hexBytes("21 00 00 00 00 3D 00 00 65 65"));
    EXPECT_EQ(DisplayPadProtocol::imageReady(), hexBytes("21 00 00"));
    EXPECT_EQ(DisplayPadProtocol::imageComplete(), hexBytes("21 00 FF"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(42), hexBytes("31 20 2A"));
    EXPECT_EQ(DisplayPadProtocol::outputReport({}), QByteArray(64, '\0'));
    EXPECT_THROW(DisplayPadProtocol::imageCommand(12), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::outputReport(QByteArray(65, '\x01')), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imagePayload(QByteArray(31211, '\0')), std::invalid_argument);
}

// Short reports, replies and the like are covered with the decoding in tests/hid.
TEST(DisplayPadProtocol, KeyStatesComeFromTheirTwoBytesOnly) {
    const auto report = [](uint8_t low, uint8_t high, char fill = '\0') {
        QByteArray bytes(48, fill);
        bytes[0] = 0x01;
        bytes[42] = static_cast<char>(low);
        bytes[47] = static_cast<char>(high);
        return bytes;
    };
    using Keys = std::set<int>;
    for (int key = 1; key <= 12; ++key) {
        const auto bits = key <= 7 ? report(uint8_t(1u << key), 0) : report(0, 1u << (key - 8));
        EXPECT_EQ(DisplayPadProtocol::pressedKeys(bits), Keys{key}) << key;
    }
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0x01, 0xE0)), Keys{}) << "unused bits";
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0x08, 0x10, '\x7F')), (Keys{3, 12}));
}
