#pragma once

#include <QMap>
#include <QString>

// The appearance file's content: every key and value is a string.
using AppearanceMap = QMap<QString, QString>;

// A pad's name, display brightness and whether that brightness follows the computer's display,
// as kept in the appearance file.
struct DeviceAppearance {
    QString deviceName;
    // Percent, 0 to 100.
    int displayBrightness = 80;
    bool padFollowMac = false;

    // Applies a readable appearance file over `initial`: a non-empty "deviceName" replaces the
    // name; "followMacBrightness" is true only for exactly "true"; "brightness" is a decimal
    // integer clamped to 0...100, or 80 when absent or not a number. Unknown keys (including
    // the legacy "background") are ignored here.
    static DeviceAppearance read(const AppearanceMap& map, const DeviceAppearance& initial);

    // Exactly the three entries the file is written with.
    AppearanceMap toMap() const;

    friend bool operator==(const DeviceAppearance&, const DeviceAppearance&) = default;
};
