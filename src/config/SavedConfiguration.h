#pragma once

#include "config/QuorvelScene.h"

#include <QList>
#include <QUuid>

// The content of a pad's bindings file. Nothing here ties `activeSceneID` to one of the scenes;
// whoever loads the file repairs that.
struct SavedConfiguration {
    QList<QuorvelScene> scenes;
    QUuid activeSceneID;

    friend bool operator==(const SavedConfiguration&, const SavedConfiguration&) = default;
};
