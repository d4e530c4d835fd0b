#pragma once

#include "core/SerialQueue.h"

// The one serial queue on which actions of every pad do their blocking work (volume, mute,
// scripts), one after another in the order they were submitted, so that quick dial turns apply
// in order and scripts never overlap.
class ActionQueue {
public:
    // Created on first use, labelled "Mountain DisplayPad.actions"; lives until the process
    // ends. Thread: any.
    static SerialQueue& shared();
};
