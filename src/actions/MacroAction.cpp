#include "actions/MacroAction.h"

#include "actions/ActionContext.h"
#include "actions/ActionQueue.h"
#include "artwork/Artwork.h"
#include "core/ActionError.h"
#include "core/Log.h"
#include "core/MainThread.h"

#include <QPointer>

#include <exception>

bool MacroAction::isReady(const Binding&, const ActionContext&) const {
    return true;
}

std::optional<QImage> MacroAction::icon(const Binding&, const ActionContext&) const {
    return builtInIcon();
}

QString MacroAction::artworkKey(const Binding&) const {
    return {};
}

QString MacroAction::searchTerm(const Binding&) const {
    return name() + QStringLiteral(" icon");
}

std::optional<QString> MacroAction::summary(const ActionContext&) const {
    return std::nullopt;
}

std::optional<QImage> MacroAction::builtInIcon() const {
    const std::optional<QString> iconName = symbol();
    if (!iconName) {
        return std::nullopt;
    }
    return Artwork::symbol(*iconName, name());
}

void MacroAction::runInBackground(ActionContext& context, std::function<void()> work) {
    // The guard is made here, on the main thread, and only read there again: the worker merely
    // carries it, so a context destroyed meanwhile is never touched.
    QPointer<ActionContext> guard(&context);
    if (ActionQueue::isClosed()) {
        logLine("Action work dropped: the program is quitting");
        return;
    }
    const bool queued = ActionQueue::shared().async([guard, work = std::move(work)]() mutable {
        // Runs on the action queue.
        if (ActionQueue::isClosed()) {
            return;  // queued before the quit, dropped by it
        }
        QString message;
        try {
            work();
        } catch (const ActionError& error) {
            message = error.message();
        } catch (const std::exception& error) {
            message = QString::fromUtf8(error.what());
        }
        runOnMain([guard = std::move(guard), message] {
            if (guard) {
                guard->report(message);
            }
        });
    });
    if (!queued) {
        // Only while the process shuts down; there is nobody left to tell.
        logLine("Action work dropped: the action queue has shut down");
    }
}
