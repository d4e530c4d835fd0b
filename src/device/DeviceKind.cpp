#include "device/DeviceKind.h"

namespace {
constexpr PadControl msdTwoControls[] = {
    {0x51, "Large dial clockwise"},
    {0x50, "Large dial counterclockwise"},
    {0x35, "Large dial press"},
    {0x91, "Left small dial clockwise"},
    {0x90, "Left small dial counterclockwise"},
    {0x33, "Left small dial press"},
    {0x61, "Right small dial clockwise"},
    {0x60, "Right small dial counterclockwise"},
    {0x34, "Right small dial press"},
    {0x25, "Left circular button"},
    {0x30, "Middle circular button"},
    {0x31, "Right circular button"},
};

constexpr DialGroup msdTwoDials[] = {
    {80, 53, 81},    // large dial
    {144, 51, 145},  // left small dial
    {96, 52, 97},    // right small dial
};
}  // namespace

QString DeviceKind::rawValue() const {
    return value_ == mountain ? QStringLiteral("mountain") : QStringLiteral("msdTwo");
}

std::optional<DeviceKind> DeviceKind::fromRawValue(const QString& raw) {
    for (Value value : allCases) {
        if (DeviceKind(value).rawValue() == raw) {
            return DeviceKind(value);
        }
    }
    return std::nullopt;
}

QString DeviceKind::name() const {
    return value_ == mountain ? QStringLiteral("Mountain DisplayPad") : QStringLiteral("MSD-TWO");
}

int DeviceKind::keyCount() const {
    return value_ == mountain ? 12 : 6;
}

double DeviceKind::backgroundAspect() const {
    return value_ == mountain ? 3.0 : 4.0 / 3.0;
}

int DeviceKind::vendorID() const {
    return value_ == mountain ? 0x3282 : 0x0B00;
}

int DeviceKind::productID() const {
    return value_ == mountain ? 0x0009 : 0x1001;
}

int DeviceKind::usagePage() const {
    return value_ == mountain ? 0xFF00 : 0xFFA0;
}

std::optional<DeviceKind> DeviceKind::matching(int vendor, int product) {
    for (Value value : allCases) {
        const DeviceKind kind(value);
        if (kind.vendorID() == vendor && kind.productID() == product) {
            return kind;
        }
    }
    return std::nullopt;
}

QString DeviceKind::identity(const std::optional<QString>& serial, uint32_t location) const {
    const QString seed = serial && !serial->isEmpty() ? QStringLiteral("serial-") + *serial
                                                      : QString::asprintf("port-%08x", location);
    return rawValue() + QLatin1Char('-') + QString::fromLatin1(seed.toUtf8().toHex());
}

std::span<const PadControl> DeviceKind::otherControls() const {
    if (value_ == msdTwo) {
        return msdTwoControls;
    }
    return {};
}

std::span<const DialGroup> DeviceKind::dials() const {
    if (value_ == msdTwo) {
        return msdTwoDials;
    }
    return {};
}

std::optional<DialGroup> DeviceKind::dial(int control) const {
    for (const DialGroup& group : dials()) {
        if (group.contains(control)) {
            return group;
        }
    }
    return std::nullopt;
}

QList<int> DeviceKind::roundButtons() const {
    QList<int> buttons;
    for (const PadControl& control : otherControls()) {
        if (!dial(control.number)) {
            buttons.append(control.number);
        }
    }
    return buttons;
}

QString DeviceKind::controlName(int control) const {
    if (control >= 1 && control <= keyCount()) {
        return QStringLiteral("LCD key %1").arg(control);
    }
    for (const PadControl& other : otherControls()) {
        if (other.number == control) {
            return QString::fromUtf8(other.name);
        }
    }
    return {};
}
