#include "config/DeviceAppearance.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// Constant-initialised, so that they are usable from other static initialisers.
constexpr QLatin1String brightnessKey("brightness");
constexpr QLatin1String followKey("followMacBrightness");
constexpr QLatin1String nameKey("deviceName");
constexpr int fallbackBrightness = 80;

// Strictly an optional sign and decimal digits: QString::toLongLong alone would also accept
// surrounding blanks, which older files never contained and which would hide a damaged value.
int parseBrightness(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(text).hasMatch()) {
        return fallbackBrightness;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok) {
        return fallbackBrightness;  // does not fit in 64 bits: not a number we can read
    }
    return static_cast<int>(std::clamp<qlonglong>(value, 0, 100));
}

}  // namespace

DeviceAppearance DeviceAppearance::read(const AppearanceMap& map, const DeviceAppearance& initial) {
    DeviceAppearance result = initial;
    const QString name = map.value(nameKey);
    if (!name.isEmpty()) {
        result.deviceName = name;
    }
    result.padFollowMac = map.value(followKey) == QStringLiteral("true");
    result.displayBrightness = map.contains(brightnessKey)
                                   ? parseBrightness(map.value(brightnessKey))
                                   : fallbackBrightness;
    return result;
}

AppearanceMap DeviceAppearance::toMap() const {
    return {{QString(brightnessKey), QString::number(displayBrightness)},
            {QString(followKey), padFollowMac ? QStringLiteral("true") : QStringLiteral("false")},
            {QString(nameKey), deviceName}};
}
