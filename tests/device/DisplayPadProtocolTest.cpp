#include "device/DisplayPadProtocol.h"

#include <gtest/gtest.h>

#include <stdexcept>

// The commands' bytes are checked by the virtual DisplayPad in tests/sessions, which answers and
// shows only what it understands.
TEST(DisplayPadProtocol, CommandsRefuseWhatDoesNotFit) {
    EXPECT_THROW(DisplayPadProtocol::imageCommand(12), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imageCommand(-1), std::invalid_argument);
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
