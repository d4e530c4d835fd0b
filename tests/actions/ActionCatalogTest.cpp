#include "actions/ActionCatalog.h"

#include "actions/AudioActions.h"
#include "actions/MediaPlayback.h"
#include "actions/NoAction.h"
#include "actions/PadBrightnessActions.h"
#include "actions/ScriptActions.h"

#include "FakeActionContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <typeindex>

// Every action in its group and order, as "name symbol [aliases]"; each name and alias leads
// back to that very action.
TEST(ActionCatalog, GroupsListEveryActionInOrderWithSymbolAndAliases) {
    MediaPlayback::shared().update(false);
    QStringList listed;
    for (const ActionGroup& group : ActionCatalog::groups()) {
        listed << group.name + ":";
        for (const auto& action : group.actions) {
            listed << action->name() + " " + action->symbol().value_or("-") +
                          (action->aliases().isEmpty() ? ""
                                                       : " [" + action->aliases().join(',') + "]");
            for (const QString& name : QStringList{action->name()} + action->aliases()) {
                EXPECT_EQ(&ActionCatalog::action(name), action.get()) << name;
            }
        }
    }
    EXPECT_EQ(listed.join("; "),
              "Media & Audio:; Volume up volume-2; Volume down volume-1; Mute volume-x; "
              "Previous track skip-back; Play/pause play; Next track skip-forward; Mac Display:; "
              "Mac display brightness up sun; Mac display brightness down sun-dim; "
              "Toggle Mac automatic brightness sun-moon; Pad Display:; "
              "Pad brightness up sun [Display brightness up]; "
              "Pad brightness down sun-dim [Display brightness down]; "
              "Toggle pad adaptive brightness sun-moon; Scenes:; Next scene arrow-down; "
              "Previous scene arrow-up; Keyboard & Automation:; Keystroke keyboard; "
              "Open application -; Open folder folder; Open URL globe; AppleScript terminal; "
              "Shell script terminal");
    EXPECT_NE(dynamic_cast<const ShellScriptAction*>(&ActionCatalog::action("Shell script")),
              nullptr);
}

TEST(ActionCatalog, AnyOtherNameResolvesToNoActionAndNoNameIsUsedTwice) {
    for (const QString name : {"None", "", "volume up", " Mute", "Display brightness"}) {
        const MacroAction& action = ActionCatalog::action(name);
        EXPECT_EQ(std::type_index(typeid(action)), std::type_index(typeid(NoAction))) << name;
    }
    QList<ActionGroup> groups = ActionCatalog::groups();
    groups.last().actions << std::make_shared<MuteAction>();
    EXPECT_THROW(ActionCatalog::makeNameTable(groups), std::logic_error);
    // An alias clashing with an alias counts too, as does anything called "None".
    const auto pad = [] {
        return std::make_shared<PadBrightnessAdjustment>(AdjustmentDirection::up);
    };
    EXPECT_THROW(ActionCatalog::makeNameTable({{"A", {pad()}}, {"B", {pad()}}}), std::logic_error);
    EXPECT_THROW(ActionCatalog::makeNameTable({{"A", {std::make_shared<NoAction>()}}}),
                 std::logic_error);
}

// One action of each kind of summary; those without one are checked with the action defaults.
TEST(ActionCatalog, SummariesWithLiveValuesFromTheContext) {
    FakeActionContext context;
    context.brightness = 40;
    const QString follow =
        "Makes the pad follow the Mac display brightness, including automatic adjustments. "
        "Currently %1. Manual pad brightness changes turn this off.";
    const std::pair<const char*, QString> summaries[] = {
        {"Volume down", "Adjusts the current audio output volume."},
        {"Play/pause",
         "Controls whichever app is currently playing media, like the Control Center player."},
        {"Mac display brightness up",
         "Adjusts the built-in Mac display (or primary display when no built-in screen is "
         "available)."},
        {"Pad brightness down", "Adjusts the pad display brightness. Current setting: 40%."},
        {"Previous scene", "Cycles through scenes in order and wraps at either end."},
        {"Toggle Mac automatic brightness",
         "Toggles the Mac display’s ambient-light brightness adjustment. Requires a supported "
         "Apple display."},
        {"Toggle pad adaptive brightness", follow.arg("off")}};
    for (const auto& [name, summary] : summaries) {
        EXPECT_EQ(ActionCatalog::action(name).summary(context), summary) << name;
    }
    context.followMac = true;
    EXPECT_EQ(ActionCatalog::action("Toggle pad adaptive brightness").summary(context),
              follow.arg("on"));
    EXPECT_EQ(ActionCatalog::action("Mute").summary(context), std::nullopt);
}
