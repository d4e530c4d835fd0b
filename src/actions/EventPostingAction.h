#pragma once

#include "actions/InputPoster.h"
#include "actions/MacroAction.h"

#include <QList>

// An action that synthesises input events (keystrokes, media keys).
class EventPostingAction : public MacroAction {
protected:
    // Posts `events` in order through `input` (the context's input service). When the context
    // refuses input (it then shows its own permission hint) nothing is posted and nothing more is
    // reported; when posting fails its message is reported; otherwise the status line is
    // cleared. The caller has already checked that the events can be expressed.
    // Main thread.
    static void post(InputPoster& input, const QList<SyntheticKeyEvent>& events,
                     ActionContext& context);
};
