#pragma once

#include "actions/AdjustmentAction.h"

// "Volume up" / "Volume down": moves the default output's volume by the step (default 2) in
// percent of full scale, on the action queue.
class VolumeAdjustment final : public AdjustmentAction {
public:
    explicit VolumeAdjustment(AdjustmentDirection direction) : direction_(direction) {}

    QString subject() const override;
    AdjustmentDirection direction() const override { return direction_; }
    int defaultStep() const override { return 2; }
    std::optional<QString> symbol() const override;
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

private:
    AdjustmentDirection direction_;
};

// "Mute": switches the default output's mute, on the action queue.
class MuteAction final : public MacroAction {
public:
    QString name() const override;
    std::optional<QString> symbol() const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
