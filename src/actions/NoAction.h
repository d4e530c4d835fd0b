#pragma once

#include "actions/MacroAction.h"

// The action of a control that has none, and of every stored name the catalog does not know.
// Never ready, shows no icon, does nothing.
class NoAction final : public MacroAction {
public:
    QString name() const override;
    bool isReady(const Binding& binding, const ActionContext& context) const override;
    std::optional<QImage> icon(const Binding& binding, const ActionContext& context) const override;
    QString searchTerm(const Binding& binding) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
