#include "actions/NoAction.h"

QString NoAction::name() const {
    return QStringLiteral("None");
}

bool NoAction::isReady(const Binding&, const ActionContext&) const {
    return false;
}

std::optional<QImage> NoAction::icon(const Binding&, const ActionContext&) const {
    return std::nullopt;
}

QString NoAction::searchTerm(const Binding&) const {
    return QStringLiteral("icon");
}

void NoAction::perform(const Binding&, ActionContext&) const {
}
