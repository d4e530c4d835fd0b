#pragma once

#include "config/SavedConfiguration.h"
#include "device/DeviceKind.h"

#include <QList>

// What a pad starts with, and how saved bindings are fitted to the pad's controls. Pure
// functions; any thread.
class DefaultConfiguration {
public:
    // One binding per LCD key ("LCD key 1" ...), then the kind's other controls in their
    // table order, each with action "None" and nothing else set.
    static QList<Binding> bindings(DeviceKind kind);

    // Exactly the defaults' length and order: for each default, the first saved binding with
    // the same id (whole, its name too) or else the default itself. Saved bindings for
    // controls the pad does not have are dropped.
    static QList<Binding> merging(const QList<Binding>& saved, const QList<Binding>& defaults);

    // One scene with a fresh random id, the kind's default bindings and no background.
    static QuorvelScene scene(DeviceKind kind);
    // That scene alone, active.
    static SavedConfiguration configuration(DeviceKind kind);
};
