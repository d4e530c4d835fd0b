#include "actions/SceneNavigationAction.h"

#include "actions/ActionContext.h"

QString SceneNavigationAction::name() const {
    return direction_ == Direction::next ? QStringLiteral("Next scene")
                                         : QStringLiteral("Previous scene");
}

std::optional<QString> SceneNavigationAction::symbol() const {
    return direction_ == Direction::next ? QStringLiteral("arrow-down")
                                         : QStringLiteral("arrow-up");
}

std::optional<QString> SceneNavigationAction::summary(const ActionContext&) const {
    return QStringLiteral("Cycles through scenes in order and wraps at either end.");
}

void SceneNavigationAction::perform(const Binding&, ActionContext& context) const {
    context.changeScene(direction_ == Direction::next ? 1 : -1);
}
