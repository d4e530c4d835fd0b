#include "actions/PadBrightnessActions.h"

#include "actions/ActionContext.h"
#include "core/ActionError.h"

QString PadBrightnessAdjustment::subject() const {
    return QStringLiteral("Pad brightness");
}

QStringList PadBrightnessAdjustment::aliases() const {
    // The names these actions had before the computer's display got actions of its own.
    return {direction_ == AdjustmentDirection::up ? QStringLiteral("Display brightness up")
                                                  : QStringLiteral("Display brightness down")};
}

std::optional<QString> PadBrightnessAdjustment::symbol() const {
    return direction_ == AdjustmentDirection::up ? QStringLiteral("sun")
                                                 : QStringLiteral("sun-dim");
}

std::optional<QString> PadBrightnessAdjustment::summary(const ActionContext& context) const {
    return QStringLiteral("Adjusts the pad display brightness. Current setting: %1%.")
        .arg(context.displayBrightness());
}

void PadBrightnessAdjustment::perform(const Binding& binding, ActionContext& context) const {
    context.changePadBrightness(signedStep(binding));
}

QString TogglePadAdaptiveBrightnessAction::name() const {
    return QStringLiteral("Toggle pad adaptive brightness");
}

std::optional<QString> TogglePadAdaptiveBrightnessAction::symbol() const {
    return QStringLiteral("sun-moon");
}

std::optional<QString> TogglePadAdaptiveBrightnessAction::summary(
    const ActionContext& context) const {
    return QStringLiteral(
               "Makes the pad follow the Mac display brightness, including automatic "
               "adjustments. Currently %1. Manual pad brightness changes turn this off.")
        .arg(context.padFollowMac() ? QStringLiteral("on") : QStringLiteral("off"));
}

void TogglePadAdaptiveBrightnessAction::perform(const Binding&, ActionContext& context) const {
    try {
        context.togglePadFollowMac();
    } catch (const ActionError& error) {
        context.report(error.message());
        return;
    }
    context.report(QString());
}
