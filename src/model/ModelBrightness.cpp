#include "model/Model.h"

#include "actions/DisplayBrightness.h"
#include "core/MainThread.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

double Model::macBrightnessLevel() const {
    if (!services_->displayBrightness) {
        throw ActionError::failed(QStringLiteral("Mac display brightness control is unavailable"));
    }
    return services_->displayBrightness->level();
}

void Model::changePadBrightness(int step) {
    if (!display_) {
        setMessage(QStringLiteral("Connect the device to change its display brightness"));
        return;
    }
    setPadFollowMac(false);
    // Bound the step first so that no step, however large, can overflow the sum.
    const int bounded = std::clamp(step, -100, 100);
    const int target = std::clamp(displayBrightness_ + bounded, 0, 100);
    setDisplayBrightness(target);
    const QPointer<Model> self(this);
    display_->setBrightness(target, [self] {
        runOnMain([self] {
            if (!self) {
                return;
            }
            try {
                self->saveAppearance();
                self->setMessage(QString());
            } catch (const ActionError& error) {
                self->setMessage(error.message());
            }
        });
    });
}

void Model::syncPadBrightness() {
    if (shuttingDown_ || !padFollowMac_ || !display_) {
        return;
    }
    double level = 0;
    try {
        level = macBrightnessLevel();
    } catch (const ActionError& error) {
        setPadFollowMac(false);
        setMessage(QStringLiteral("Adaptive pad brightness stopped: ") + error.message());
        try {
            saveAppearance();
        } catch (const ActionError&) {
            // The message above matters more than the file; the next save writes it.
        }
        return;
    }
    if (!std::isfinite(level)) {
        return;  // no usable reading this time; the next tick asks again
    }
    // Halves round away from zero; a level outside 0...1 from the backlight is clamped.
    const int target = static_cast<int>(std::clamp(std::round(level * 100.0), 0.0, 100.0));
    if (target != displayBrightness_) {
        setDisplayBrightness(target);
        display_->setBrightness(target, {});
    }
}

void Model::togglePadFollowMac() {
    if (!display_) {
        throw ActionError::failed(QStringLiteral("Connect the device to use adaptive brightness"));
    }
    if (!padFollowMac_) {
        macBrightnessLevel();  // refuse to start following a display that cannot be read
    }
    setPadFollowMac(!padFollowMac_);
    syncPadBrightness();
    saveAppearance();
}
