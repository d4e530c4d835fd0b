#include "actions/AdjustmentAction.h"

#include <algorithm>

QString AdjustmentAction::name() const {
    return subject() + (direction() == AdjustmentDirection::up ? QStringLiteral(" up")
                                                               : QStringLiteral(" down"));
}

int AdjustmentAction::step(const Binding& binding) const {
    const int64_t wanted = binding.adjustmentStep.value_or(defaultStep());
    return static_cast<int>(std::clamp<int64_t>(wanted, 1, 100));
}

int AdjustmentAction::signedStep(const Binding& binding) const {
    const int size = step(binding);
    return direction() == AdjustmentDirection::up ? size : -size;
}
