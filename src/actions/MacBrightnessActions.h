#pragma once

#include "actions/AdjustmentAction.h"

// "Mac display brightness up" / "... down": moves the computer's own display brightness by the
// step (default 5) in percent of the full range, then lets a pad that follows the display take
// the new level. Synchronous on the main thread (the service's calls are short).
class MacBrightnessAdjustment final : public AdjustmentAction {
public:
    explicit MacBrightnessAdjustment(AdjustmentDirection direction) : direction_(direction) {}

    QString subject() const override;
    AdjustmentDirection direction() const override { return direction_; }
    std::optional<QString> symbol() const override;
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

private:
    AdjustmentDirection direction_;
};

// "Toggle Mac automatic brightness": switches the display's ambient-light brightness, then
// lets a following pad take the level. Synchronous on the main thread.
class ToggleMacAutomaticBrightnessAction final : public MacroAction {
public:
    QString name() const override;
    std::optional<QString> symbol() const override;
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
