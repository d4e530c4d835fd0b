#include "device/DisplayPadProtocol.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
QByteArray keyStateReport(uint8_t low, uint8_t high, int size = 48) {
    QByteArray report(size, '\0');
    report[0] = 0x01;
    report[42] = static_cast<char>(low);
    report[47] = static_cast<char>(high);
    return report;
}
}  // namespace

TEST(DisplayPadProtocol, CommandsHaveTheirExactBytes) {
    EXPECT_EQ(DisplayPadProtocol::enableApplication(), hexBytes("11 80 00 00 01"));
    EXPECT_EQ(DisplayPadProtocol::imageCommand(0), hexBytes("21 00 00 00 00 3D 00 00 65 65"));
    EXPECT_EQ(DisplayPadProtocol::imageCommand(11), hexBytes("21 00 00 00 0B 3D 00 00 65 65"));
    EXPECT_EQ(DisplayPadProtocol::imageReady(), hexBytes("21 00 00"));
    EXPECT_EQ(DisplayPadProtocol::imageComplete(), hexBytes("21 00 FF"));
}

TEST(DisplayPadProtocol, ImageCommandRejectsKeyIndexOutsideThePad) {
    EXPECT_THROW(DisplayPadProtocol::imageCommand(12), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imageCommand(-1), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imageCommand(256), std::invalid_argument);
}

TEST(DisplayPadProtocol, BrightnessIsClampedToZeroToHundred) {
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(42), hexBytes("31 20 2A"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(100), hexBytes("31 20 64"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(150), hexBytes("31 20 64"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(0), hexBytes("31 20 00"));
    EXPECT_EQ(DisplayPadProtocol::brightnessCommand(-5), hexBytes("31 20 00"));
}

TEST(DisplayPadProtocol, PayloadPlacesImageAfterOneZeroRow) {
    QByteArray image(DisplayPadProtocol::imageByteCount, '\0');
    for (int i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>(i * 7 + 1);
    }
    const QByteArray payload = DisplayPadProtocol::imagePayload(image);
    ASSERT_EQ(payload.size(), 31744);
    EXPECT_EQ(payload.left(306), QByteArray(306, '\0'));
    EXPECT_EQ(payload.mid(306, 31212), image);
    EXPECT_EQ(payload.mid(31518), QByteArray(226, '\0'));
    EXPECT_EQ(payload.size() / DisplayPadProtocol::chunkSize, 31);
}

TEST(DisplayPadProtocol, WhiteImageFillsExactlyThePixelRange) {
    const QByteArray payload =
        DisplayPadProtocol::imagePayload(QByteArray(DisplayPadProtocol::imageByteCount, '\xFF'));
    EXPECT_EQ(payload.count('\xFF'), 31212);
    EXPECT_EQ(payload.indexOf('\xFF'), 306);
    EXPECT_EQ(payload.lastIndexOf('\xFF'), 31517);
}

TEST(DisplayPadProtocol, PayloadRejectsImageOfWrongSize) {
    EXPECT_THROW(DisplayPadProtocol::imagePayload(QByteArray(31211, '\0')), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imagePayload(QByteArray(31213, '\0')), std::invalid_argument);
    EXPECT_THROW(DisplayPadProtocol::imagePayload(QByteArray()), std::invalid_argument);
}

TEST(DisplayPadProtocol, OutputReportPadsCommandToSixtyFourBytes) {
    const QByteArray report = DisplayPadProtocol::outputReport(hexBytes("31 20 64"));
    ASSERT_EQ(report.size(), 64);
    EXPECT_EQ(report.left(3), hexBytes("31 20 64"));
    EXPECT_EQ(report.mid(3), QByteArray(61, '\0'));
    EXPECT_EQ(DisplayPadProtocol::outputReport(QByteArray(64, '\x5A')), QByteArray(64, '\x5A'));
    EXPECT_EQ(DisplayPadProtocol::outputReport({}), QByteArray(64, '\0'));
    EXPECT_THROW(DisplayPadProtocol::outputReport(QByteArray(65, '\x01')), std::invalid_argument);
}

TEST(DisplayPadProtocol, KeyStateReportWithNoBitsIsEmptySetNotNothing) {
    const auto keys = DisplayPadProtocol::pressedKeys(keyStateReport(0, 0));
    ASSERT_TRUE(keys.has_value());
    EXPECT_TRUE(keys->empty());
}

TEST(DisplayPadProtocol, OtherReportsAreNotKeyStates) {
    EXPECT_FALSE(DisplayPadProtocol::pressedKeys(keyStateReport(0xFF, 0xFF).left(47)));
    QByteArray reply = keyStateReport(0xFF, 0xFF);
    reply[0] = 0x02;
    EXPECT_FALSE(DisplayPadProtocol::pressedKeys(reply));
    EXPECT_FALSE(DisplayPadProtocol::pressedKeys({}));
    EXPECT_FALSE(DisplayPadProtocol::pressedKeys(hexBytes("11 80 00 00 01")));
}

TEST(DisplayPadProtocol, AllBitsSetGiveTwelveKeysAndNoMore) {
    const auto keys = DisplayPadProtocol::pressedKeys(keyStateReport(0xFF, 0xFF, 64));
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(*keys, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(DisplayPadProtocol, UnusedBitsNeverAddKeys) {
    const auto keys = DisplayPadProtocol::pressedKeys(keyStateReport(0x01, 0xE0));
    ASSERT_TRUE(keys.has_value());
    EXPECT_TRUE(keys->empty());
}

TEST(DisplayPadProtocol, EachKeyHasItsOwnBit) {
    for (int key = 1; key <= 12; ++key) {
        const uint8_t low = key <= 7 ? static_cast<uint8_t>(1u << key) : 0;
        const uint8_t high = key >= 8 ? static_cast<uint8_t>(1u << (key - 8)) : 0;
        const auto keys = DisplayPadProtocol::pressedKeys(keyStateReport(low, high));
        ASSERT_TRUE(keys.has_value()) << key;
        EXPECT_EQ(*keys, std::set<int>{key}) << key;
    }
}

TEST(DisplayPadProtocol, BytesOtherThanTheKeyBytesAreIgnored) {
    QByteArray report(48, '\x7F');
    report[0] = 0x01;
    report[42] = 0x08;  // key 3
    report[47] = 0x10;  // key 12
    EXPECT_EQ(DisplayPadProtocol::pressedKeys(report), (std::set<int>{3, 12}));
}
