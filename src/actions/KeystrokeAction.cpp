#include "actions/KeystrokeAction.h"

#include "actions/ActionContext.h"
#include "actions/PlatformServices.h"

QString KeystrokeAction::name() const {
    return QStringLiteral("Keystroke");
}

std::optional<QString> KeystrokeAction::symbol() const {
    return QStringLiteral("keyboard");
}

bool KeystrokeAction::isReady(const Binding& binding, const ActionContext&) const {
    return binding.recordedShortcut.has_value();
}

void KeystrokeAction::perform(const Binding& binding, ActionContext& context) const {
    if (!binding.recordedShortcut) {
        context.report(QStringLiteral("Record a keystroke for %1 first").arg(binding.name));
        return;
    }
    const QList<SyntheticKeyEvent> events{
        SyntheticKeyEvent::key(binding.keyCode, binding.modifiers, true),
        SyntheticKeyEvent::key(binding.keyCode, binding.modifiers, false)};
    // The events are made before permission is asked, so a key that cannot be expressed is
    // reported as such rather than as a missing permission.
    const std::shared_ptr<InputPoster> input = context.services().input;
    if (!input || !input->canPost(events[0]) || !input->canPost(events[1])) {
        context.report(QStringLiteral("Could not create keystroke events"));
        return;
    }
    post(*input, events, context);
}
