#include "device/InputDecoding.h"

#include "device/DisplayPadProtocol.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr int msdTwoMinimumLength = 10;
constexpr int msdTwoControlByte = 9;

bool byteIs(const QByteArray& report, int index, char value) {
    return report.at(index) == value;
}
}  // namespace

std::vector<int> InputDecoding::displayPadPresses(const QByteArray& report,
                                                  std::set<int>& heldKeys) {
    std::optional<std::set<int>> down = DisplayPadProtocol::pressedKeys(report);
    if (!down) {
        return {};
    }
    // Both sets are ordered, so the difference comes out in ascending key order.
    std::vector<int> pressed;
    std::set_difference(down->begin(), down->end(), heldKeys.begin(), heldKeys.end(),
                        std::back_inserter(pressed));
    heldKeys = std::move(*down);
    return pressed;
}

std::optional<int> InputDecoding::msdTwoControl(const QByteArray& report) {
    if (report.size() < msdTwoMinimumLength || !report.startsWith("ACK") ||
        !byteIs(report, 5, 'O') || !byteIs(report, 6, 'K')) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(report.at(msdTwoControlByte));
}

std::vector<int> InputDecoding::controlEvents(DeviceKind kind, const QByteArray& report,
                                              std::set<int>& heldKeys) {
    switch (kind.value()) {
        case DeviceKind::mountain:
            return displayPadPresses(report, heldKeys);
        case DeviceKind::msdTwo:
            if (std::optional<int> control = msdTwoControl(report)) {
                return {*control};
            }
            return {};
    }
    return {};
}
