#include "device/DisplayPadProtocol.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(DisplayPadProtocol, CommandsHaveTheirExactBytesAndRefuseWhatDoesNotFit) {
    EXPECT_EQ(DisplayPadProtocol::imageCommand(0), hexBytes("21 00 00 00 00 3D 00 00 65 65"));
    EXPECT_EQ(DisplayPadProtocol::imageReady(), hexBytes("21 00 00"));
    EXPECT_EQ(DisplayPadProtocol::imageComplete(), hexBytes("21 00 FF"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(42), hexBytes("31 20 2A"));
    EXPECT_EQ(DisplayPadProtocol::outputReport(QByteArray(64, '\x5A')), QByteArray(64, '\x5A'));
    EXPECT_EQ(DisplayPadProtocol::outputReport({}), QByteArray(64, '\0'));
    for (int key : {12, -1, 256}) {
        EXPECT_THROW(DisplayPadProtocol::imageCommand(key), std::invalid_argument) << key;
    }
    EXPECT_THROW(DisplayPadProtocol::outputReport(QByteArray(65, '\x01')), std::invalid_argument);
    for (int size : {31211, 31213, 0}) {
        EXPECT_THROW(DisplayPadProtocol::imagePayload(QByteArray(size, '\0')),
                     std::invalid_argument)
            << size;
    }
}

// The image follows one zero row (306 bytes) and is padded to whole 1024-byte chunks.
TEST(DisplayPadProtocol, PayloadPlacesImageAfterOneZeroRow) {
    const QByteArray payload =
        DisplayPadProtocol::imagePayload(QByteArray(DisplayPadProtocol::imageByteCount, '\xFF'));
    ASSERT_EQ(payload.size(), 31 * DisplayPadProtocol::chunkSize);
    EXPECT_EQ(payload.count('\xFF'), 31212);
    EXPECT_EQ(payload.indexOf('\xFF'), 306);
    EXPECT_EQ(payload.lastIndexOf('\xFF'), 31517);
}

TEST(DisplayPadProtocol, KeyStatesComeFromTheirTwoBytesOnly) {
    const auto report = [](uint8_t low, uint8_t high, int size = 48, char fill = '\0') {
        QByteArray bytes(size, fill);
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
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0, 0)), Keys{}) << "an empty set, not nothing";
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0x01, 0xE0)), Keys{}) << "unused bits";
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0xFF, 0xFF, 64))->size(), 12u);
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report(0x08, 0x10, 48, '\x7F')), (Keys{3, 12}));
    QByteArray reply = report(0xFF, 0xFF);
    reply[0] = 0x02;
    for (const QByteArray& other :
         {report(0xFF, 0xFF).left(47), reply, QByteArray(), hexBytes("11 80 00 00 01")}) {
        EXPECT_FALSE(DisplayPadProtocol::pressedKeys(other)) << other.toHex().data();
    }
}
