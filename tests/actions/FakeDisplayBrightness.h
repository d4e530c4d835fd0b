#pragma once

#include "actions/DisplayBrightness.h"

#include "core/ActionError.h"

#include <QString>

// A DisplayBrightness held in memory. `failure` makes every call throw it; `automaticSupported`
// false answers as a display without automatic brightness; `ignoreAutomatic` accepts the switch
// and leaves it where it was, as some desktops do.
class FakeDisplayBrightness : public DisplayBrightness {
public:
    double level() override {
        check();
        return current;
    }
    void setLevel(double value) override {
        check();
        current = value;
    }
    bool automatic() override {
        check();
        if (!automaticSupported) {
            throw ActionError::failed("This Mac display does not support automatic brightness");
        }
        return automaticOn;
    }
    void setAutomatic(bool on) override {
        check();
        if (!ignoreAutomatic) {
            automaticOn = on;
        }
    }

    double current = 0.5;
    bool automaticSupported = true;
    bool automaticOn = false;
    bool ignoreAutomatic = false;
    QString failure;

private:
    void check() const {
        if (!failure.isEmpty()) {
            throw ActionError::failed(failure);
        }
    }
};
