#pragma once

#include "config/Binding.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ActionContext;

// What a pad control can do. Every action is a small immutable value; what it needs at run
// time comes from the binding it is given and from the context (the pad's device model and,
// through it, the desktop services).
//
// Thread: `perform` and every query that takes a context run on the main thread. `name`,
// `aliases`, `symbol`, `artworkKey` and `searchTerm` of the catalog's actions read only
// immutable data and may run anywhere, except where an action documents otherwise (the
// play/pause symbol follows the playing state, which lives on the main thread).
// Failures: `perform` never throws; every failure becomes a message through
// `ActionContext::report`, and success clears the status line with the empty string.
class MacroAction {
public:
    virtual ~MacroAction() = default;

    // Display name, and the value stored in a binding to select this action.
    virtual QString name() const = 0;

    // Older stored names that select this action too. Default: none.
    virtual QStringList aliases() const { return {}; }

    // Name of the built-in icon (Lucide set) that stands for the action. Default: none.
    virtual std::optional<QString> symbol() const { return std::nullopt; }

    // Whether the binding carries what the action needs in order to run. Default: true.
    virtual bool isReady(const Binding& binding, const ActionContext& context) const;

    // The picture a key shows for the binding when the user chose no artwork. Default:
    // builtInIcon(). Main thread (may ask the desktop for icons).
    virtual std::optional<QImage> icon(const Binding& binding, const ActionContext& context) const;

    // Identifies the binding's automatic artwork; part of the rendered key's cache key, so a
    // change of it draws the key anew. Default: empty.
    virtual QString artworkKey(const Binding& binding) const;

    // Where an artwork search for the binding starts. Default: name followed by " icon".
    virtual QString searchTerm(const Binding& binding) const;

    // One sentence explaining the action in the configuration window, possibly with live values
    // of the context. Default: none.
    virtual std::optional<QString> summary(const ActionContext& context) const;

    // Runs the action for `binding` on the pad of `context`. Main thread; returns at once (slow
    // work moves to the action queue and reports later).
    virtual void perform(const Binding& binding, ActionContext& context) const = 0;

    // The icon named by `symbol`, drawn with `name` as its description; none without a symbol.
    std::optional<QImage> builtInIcon() const;

protected:
    // Runs `work` on the shared action queue and returns at once. When it returns, the context
    // is sent "" (clearing the status line); when it throws, the error's message (an
    // ActionError's own text). The report is delivered on the main thread and dropped when the
    // context is gone by then; the context is never touched off the main thread, so `work` must
    // capture what it needs (the services) by value. Once the queue is closed for the quit,
    // `work` never runs and nothing is reported.
    // Call on the main thread.
    static void runInBackground(ActionContext& context, std::function<void()> work);
};
