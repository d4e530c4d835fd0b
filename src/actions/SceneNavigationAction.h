#pragma once

#include "actions/MacroAction.h"

// "Next scene" / "Previous scene": steps the pad's active scene by one through the context,
// which wraps at either end. Never fails, reports nothing.
class SceneNavigationAction final : public MacroAction {
public:
    enum class Direction { next, previous };

    explicit SceneNavigationAction(Direction direction) : direction_(direction) {}

    Direction direction() const { return direction_; }

    QString name() const override;
    std::optional<QString> symbol() const override;
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

private:
    Direction direction_;
};
