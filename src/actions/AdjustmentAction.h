#pragma once

#include "actions/MacroAction.h"

enum class AdjustmentDirection { up, down };

// An action that raises or lowers a quantity by a step: "<subject> up" / "<subject> down".
// The step comes from the binding (`adjustmentStep`) or the type's default, in percent points.
class AdjustmentAction : public MacroAction {
public:
    // What is adjusted, for example "Volume".
    virtual QString subject() const = 0;
    virtual AdjustmentDirection direction() const = 0;
    // The step when the binding sets none.
    virtual int defaultStep() const { return 5; }

    QString name() const override;

    // The binding's step, else the default, clamped to 1...100 (a stored 0 or negative value
    // steps by 1, anything above 100 by 100).
    int step(const Binding& binding) const;
    // step() with the sign of the direction: negative for down.
    int signedStep(const Binding& binding) const;
};
