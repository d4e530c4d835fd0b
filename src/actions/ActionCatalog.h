#pragma once

#include "actions/MacroAction.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

// A named list of actions, as the configuration window shows them.
struct ActionGroup {
    QString name;
    QList<std::shared_ptr<const MacroAction>> actions;
};

// Every action by group, and the lookup of a binding's stored action name.
//
// Thread: any. The groups and the name table are built once, on first use, and never change.
class ActionCatalog {
public:
    using NameTable = QHash<QString, std::shared_ptr<const MacroAction>>;

    // "Media & Audio", "Mac Display", "Pad Display", "Scenes", "Keyboard & Automation", in this
    // order. "None" belongs to no group.
    static const QList<ActionGroup>& groups();

    // The action whose name or alias equals `name` exactly (letter case and blanks count);
    // "None" and every other text, the empty one included, give the action that does nothing.
    // The action lives as long as the process.
    static const MacroAction& action(const QString& name);

    // "None", then each action's name and aliases, group by group. A key that appears twice is
    // a programming error: it throws std::logic_error naming the key, so that a catalog that
    // would silently shadow a stored name never passes its tests.
    static NameTable makeNameTable(const QList<ActionGroup>& groups);
};
