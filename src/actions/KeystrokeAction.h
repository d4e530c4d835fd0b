#pragma once

#include "actions/EventPostingAction.h"

// Replays the binding's recorded key combination: `keyCode` down then up, both with the
// `modifiers` flags. A binding counts as recorded when it has `recordedShortcut`; its text is
// only for people.
class KeystrokeAction final : public EventPostingAction {
public:
    QString name() const override;
    std::optional<QString> symbol() const override;
    // True exactly when a combination has been recorded.
    bool isReady(const Binding& binding, const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
