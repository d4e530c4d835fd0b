#include "actions/EventPostingAction.h"

#include "actions/ActionContext.h"
#include "core/ActionError.h"

void EventPostingAction::post(InputPoster& input, const QList<SyntheticKeyEvent>& events,
                              ActionContext& context) {
    if (!context.requestAccessibilityAccess()) {
        return;
    }
    try {
        input.post(events);
    } catch (const ActionError& error) {
        context.report(error.message());
        return;
    }
    context.report(QString());
}
