#pragma once

#include "actions/DisplayBrightness.h"

#include <QString>

#include <chrono>

typedef struct _GSettings GSettings;

// DisplayBrightness on the kernel backlight (/sys/class/backlight). The built-in panel is the
// device of type "firmware", else "platform", else "raw" (by name within a type), the order the
// desktop's own brightness keys use. Levels are written through systemd-logind's
// Session.SetBrightness, which lets the user's session change the backlight without root; when
// logind cannot be reached the sysfs file is written directly (works for root or with a udev
// rule granting it).
//
// Automatic brightness is the desktop's switch: GNOME's "ambient-enabled" setting, offered only
// when an ambient light sensor is present (iio-sensor-proxy's HasAmbientLight). Without both,
// the display "does not support automatic brightness".
class BacklightBrightness final : public DisplayBrightness {
public:
    struct Options {
        QString sysfsRoot = QStringLiteral("/sys/class/backlight");
        // Empty means the system bus; tests pass a private bus.
        QString systemBusAddress;
        QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");
        QString settingsSchema = QStringLiteral("org.gnome.settings-daemon.plugins.power");
        // A folder of compiled schemas searched before the installed ones; empty for none.
        QString schemaDirectory;
        std::chrono::milliseconds callTimeout = std::chrono::seconds(2);
    };

    BacklightBrightness();
    explicit BacklightBrightness(Options options);
    ~BacklightBrightness() override;

    double level() override;
    void setLevel(double level) override;
    bool automatic() override;
    void setAutomatic(bool on) override;

private:
    struct Panel {
        QString name;
        QString folder;
    };
    Panel panel() const;
    bool hasAmbientLightSensor() const;
    // The desktop's automatic-brightness setting; throws when this machine has none (no schema
    // or no light sensor). Null when the settings object could not be made. Caller unrefs.
    GSettings* ambientSettings() const;

    Options options_;
    QString connectionName_;
};
