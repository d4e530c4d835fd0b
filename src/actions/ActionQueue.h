#pragma once

#include "core/SerialQueue.h"

#include <functional>

// The one serial queue on which actions of every pad do their blocking work (volume, mute,
// scripts), one after another in the order they were submitted, so that quick dial turns apply
// in order and scripts never overlap.
class ActionQueue {
public:
    // Created on first use, labelled "Mountain DisplayPad.actions"; lives until the process
    // ends. Thread: any.
    static SerialQueue& shared();

    // The quit: action work that is queued but has not started is dropped, and work submitted
    // later is refused, so that nothing a key asked for happens after the user asked to quit.
    // `ended` runs on the main thread once the work running now (if any) has returned; to make
    // that prompt, stop what it waits for (ScriptRunner::stopAll). Main thread.
    static void close(std::function<void()> ended);

    // Whether close() was called. Thread: any.
    static bool isClosed();
};
