#include "actions/ActionCatalog.h"

#include "actions/AudioActions.h"
#include "actions/KeystrokeAction.h"
#include "actions/MacBrightnessActions.h"
#include "actions/MediaKey.h"
#include "actions/NoAction.h"
#include "actions/OpenActions.h"
#include "actions/PadBrightnessActions.h"
#include "actions/SceneNavigationAction.h"
#include "actions/ScriptActions.h"

#include <stdexcept>

namespace {
const std::shared_ptr<const MacroAction>& noAction() {
    static const std::shared_ptr<const MacroAction> none = std::make_shared<NoAction>();
    return none;
}

QList<ActionGroup> makeGroups() {
    using Direction = AdjustmentDirection;
    QList<ActionGroup> groups;

    ActionGroup media{
        QStringLiteral("Media & Audio"),
        {std::make_shared<VolumeAdjustment>(Direction::up),
         std::make_shared<VolumeAdjustment>(Direction::down), std::make_shared<MuteAction>()}};
    for (const MediaKey& key : MediaKey::allCases()) {
        media.actions << std::make_shared<MediaKey>(key);
    }
    groups << media;

    groups << ActionGroup{QStringLiteral("Mac Display"),
                          {std::make_shared<MacBrightnessAdjustment>(Direction::up),
                           std::make_shared<MacBrightnessAdjustment>(Direction::down),
                           std::make_shared<ToggleMacAutomaticBrightnessAction>()}};

    groups << ActionGroup{QStringLiteral("Pad Display"),
                          {std::make_shared<PadBrightnessAdjustment>(Direction::up),
                           std::make_shared<PadBrightnessAdjustment>(Direction::down),
                           std::make_shared<TogglePadAdaptiveBrightnessAction>()}};

    groups << ActionGroup{
        QStringLiteral("Scenes"),
        {std::make_shared<SceneNavigationAction>(SceneNavigationAction::Direction::next),
         std::make_shared<SceneNavigationAction>(SceneNavigationAction::Direction::previous)}};

    groups << ActionGroup{
        QStringLiteral("Keyboard & Automation"),
        {std::make_shared<KeystrokeAction>(), std::make_shared<OpenApplicationAction>(),
         std::make_shared<OpenFolderAction>(), std::make_shared<OpenURLAction>(),
         std::make_shared<AppleScriptAction>(), std::make_shared<ShellScriptAction>()}};
    return groups;
}
}  // namespace

const QList<ActionGroup>& ActionCatalog::groups() {
    static const QList<ActionGroup> all = makeGroups();
    return all;
}

ActionCatalog::NameTable ActionCatalog::makeNameTable(const QList<ActionGroup>& groups) {
    NameTable table;
    table.insert(noAction()->name(), noAction());
    for (const ActionGroup& group : groups) {
        for (const std::shared_ptr<const MacroAction>& action : group.actions) {
            for (const QString& key : QStringList{action->name()} + action->aliases()) {
                if (table.contains(key)) {
                    throw std::logic_error("Action name \"" + key.toStdString() +
                                           "\" is used twice in the catalog");
                }
                table.insert(key, action);
            }
        }
    }
    return table;
}

const MacroAction& ActionCatalog::action(const QString& name) {
    static const NameTable table = makeNameTable(groups());
    const auto found = table.constFind(name);
    return found != table.constEnd() ? **found : *noAction();
}
