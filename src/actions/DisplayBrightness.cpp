#include "actions/DisplayBrightness.h"

#include "core/ActionError.h"

#include <algorithm>

double DisplayBrightness::change(double change) {
    const double target = std::clamp(level() + change, 0.0, 1.0);
    setLevel(target);
    return target;
}

void DisplayBrightness::toggleAutomatic() {
    const bool before = automatic();
    try {
        setAutomatic(!before);
    } catch (const ActionError&) {
        throw ActionError::failed(QStringLiteral("Could not toggle Mac automatic brightness"));
    }
    // Some desktops accept the switch and ignore it; only a state that really moved counts.
    if (automatic() == before) {
        throw ActionError::failed(QStringLiteral("Could not toggle Mac automatic brightness"));
    }
}
