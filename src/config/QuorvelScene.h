#pragma once

#include "config/Binding.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One full set of control bindings plus an optional background image (MSD-TWO). `id` stays the
// same across renames, exports and reloads.
struct QuorvelScene {
    QUuid id;
    // Every control of the pad, in the order of the device kind's default bindings.
    QList<Binding> keys;
    std::optional<QString> backgroundPath;

    friend bool operator==(const QuorvelScene&, const QuorvelScene&) = default;
};
