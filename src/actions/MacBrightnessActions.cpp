#include "actions/MacBrightnessActions.h"

#include "actions/ActionContext.h"
#include "actions/DisplayBrightness.h"
#include "actions/PlatformServices.h"
#include "core/ActionError.h"

namespace {
const QString unavailable = QStringLiteral("Mac display brightness control is unavailable");

// Runs `change` on the display service, then brings a following pad into line. Every failure,
// a missing service included, ends up in the status line.
template <typename Change>
void changeDisplay(ActionContext& context, Change change) {
    const std::shared_ptr<DisplayBrightness> display = context.services().displayBrightness;
    if (!display) {
        context.report(unavailable);
        return;
    }
    try {
        change(*display);
    } catch (const ActionError& error) {
        context.report(error.message());
        return;
    }
    context.syncPadBrightness();
    context.report(QString());
}
}  // namespace

QString MacBrightnessAdjustment::subject() const {
    return QStringLiteral("Mac display brightness");
}

std::optional<QString> MacBrightnessAdjustment::symbol() const {
    return direction_ == AdjustmentDirection::up ? QStringLiteral("sun")
                                                 : QStringLiteral("sun-dim");
}

std::optional<QString> MacBrightnessAdjustment::summary(const ActionContext&) const {
    return QStringLiteral(
        "Adjusts the built-in Mac display (or primary display when no built-in screen is "
        "available).");
}

void MacBrightnessAdjustment::perform(const Binding& binding, ActionContext& context) const {
    const double change = signedStep(binding) / 100.0;
    changeDisplay(context, [change](DisplayBrightness& display) { display.change(change); });
}

QString ToggleMacAutomaticBrightnessAction::name() const {
    return QStringLiteral("Toggle Mac automatic brightness");
}

std::optional<QString> ToggleMacAutomaticBrightnessAction::symbol() const {
    return QStringLiteral("sun-moon");
}

std::optional<QString> ToggleMacAutomaticBrightnessAction::summary(const ActionContext&) const {
    return QStringLiteral(
        "Toggles the Mac display’s ambient-light brightness adjustment. Requires a supported "
        "Apple display.");
}

void ToggleMacAutomaticBrightnessAction::perform(const Binding&, ActionContext& context) const {
    changeDisplay(context, [](DisplayBrightness& display) { display.toggleAutomatic(); });
}
