#include "device/DisplayPadProtocol.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {
QByteArray bytes(std::initializer_list<uint8_t> values) {
    QByteArray result;
    result.reserve(static_cast<qsizetype>(values.size()));
    for (uint8_t value : values) {
        result.append(static_cast<char>(value));
    }
    return result;
}

constexpr int keyStateReportMinimum = 48;
constexpr int keysLowByte = 42;   // keys 1 to 7 in bits 1 to 7 (bit 0 carries no key)
constexpr int keysHighByte = 47;  // keys 8 to 12 in bits 0 to 4
}  // namespace

QByteArray DisplayPadProtocol::enableApplication() {
    return bytes({0x11, 0x80, 0x00, 0x00, 0x01});
}

QByteArray DisplayPadProtocol::imageCommand(int key) {
    if (key < 0 || key >= keyCount) {
        throw std::invalid_argument("DisplayPad key index out of range: " + std::to_string(key));
    }
    return bytes({0x21, 0x00, 0x00, 0x00, static_cast<uint8_t>(key), 0x3D, 0x00, 0x00, 0x65, 0x65});
}

QByteArray DisplayPadProtocol::imageReady() {
    return bytes({0x21, 0x00, 0x00});
}

QByteArray DisplayPadProtocol::imageComplete() {
    return bytes({0x21, 0x00, 0xFF});
}

QByteArray DisplayPadProtocol::brightnessCommand(int level) {
    return bytes({0x31, 0x20, static_cast<uint8_t>(std::clamp(level, 0, maxBrightness))});
}

QByteArray DisplayPadProtocol::keyEventModeData() {
    return bytes({0x01});
}

QByteArray DisplayPadProtocol::imagePayload(const QByteArray& image) {
    if (image.size() != imageByteCount) {
        throw std::invalid_argument("DisplayPad key image must be " +
                                    std::to_string(imageByteCount) + " bytes, not " +
                                    std::to_string(image.size()));
    }
    QByteArray payload(payloadSize, '\0');
    std::copy(image.cbegin(), image.cend(), payload.begin() + pixelOffset);
    return payload;
}

QByteArray DisplayPadProtocol::outputReport(const QByteArray& command) {
    if (command.size() > outputReportSize) {
        throw std::invalid_argument("DisplayPad command longer than one output report: " +
                                    std::to_string(command.size()) + " bytes");
    }
    QByteArray report = command;
    report.append(outputReportSize - command.size(), '\0');
    return report;
}

std::optional<std::set<int>> DisplayPadProtocol::pressedKeys(const QByteArray& report) {
    if (report.size() < keyStateReportMinimum || static_cast<uint8_t>(report[0]) != 0x01) {
        return std::nullopt;
    }
    const auto low = static_cast<uint8_t>(report[keysLowByte]);
    const auto high = static_cast<uint8_t>(report[keysHighByte]);
    std::set<int> keys;
    for (int index = 0; index < keyCount; ++index) {
        const int key = index + 1;
        const bool down = index < 7 ? (low >> key) & 1 : (high >> (index - 7)) & 1;
        if (down) {
            keys.insert(key);
        }
    }
    return keys;
}
