#pragma once

#include "actions/AdjustmentAction.h"

// "Pad brightness up" / "... down" (also stored as "Display brightness up" / "... down"):
// changes the pad's own brightness by the step (default 5) through the context, which clamps,
// writes the pad and leaves follow mode. Reports nothing itself.
class PadBrightnessAdjustment final : public AdjustmentAction {
public:
    explicit PadBrightnessAdjustment(AdjustmentDirection direction) : direction_(direction) {}

    QString subject() const override;
    AdjustmentDirection direction() const override { return direction_; }
    QStringList aliases() const override;
    std::optional<QString> symbol() const override;
    // Includes the pad's current brightness.
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

private:
    AdjustmentDirection direction_;
};

// "Toggle pad adaptive brightness": makes the pad follow the computer's display, or stop.
class TogglePadAdaptiveBrightnessAction final : public MacroAction {
public:
    QString name() const override;
    std::optional<QString> symbol() const override;
    // Includes whether following is on now.
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
