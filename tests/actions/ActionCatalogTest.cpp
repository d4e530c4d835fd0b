#include "actions/ActionCatalog.h"

#include "actions/AudioActions.h"
#include "actions/KeystrokeAction.h"
#include "actions/MacBrightnessActions.h"
#include "actions/MediaKey.h"
#include "actions/MediaPlayback.h"
#include "actions/NoAction.h"
#include "actions/OpenActions.h"
#include "actions/PadBrightnessActions.h"
#include "actions/SceneNavigationAction.h"
#include "actions/ScriptActions.h"

#include "FakeActionContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <typeindex>

namespace {

struct Row {
    QString group;
    QString name;  // the adjustment, media and scene types derive it from their direction
    std::type_index type;
    std::optional<QString> symbol;
    QStringList aliases = {};
};

}  // namespace

TEST(ActionCatalog, GroupsListEveryActionInOrderWithTypeSymbolAndAliases) {
    MediaPlayback::shared().update(false);
    const QString media = "Media & Audio", mac = "Mac Display", pad = "Pad Display",
                  scenes = "Scenes", keys = "Keyboard & Automation";
    const QList<Row> rows{
        {media, "Volume up", typeid(VolumeAdjustment), "volume-2"},
        {media, "Volume down", typeid(VolumeAdjustment), "volume-1"},
        {media, "Mute", typeid(MuteAction), "volume-x"},
        {media, "Previous track", typeid(MediaKey), "skip-back"},
        {media, "Play/pause", typeid(MediaKey), "play"},
        {media, "Next track", typeid(MediaKey), "skip-forward"},
        {mac, "Mac display brightness up", typeid(MacBrightnessAdjustment), "sun"},
        {mac, "Mac display brightness down", typeid(MacBrightnessAdjustment), "sun-dim"},
        {mac, "Toggle Mac automatic brightness", typeid(ToggleMacAutomaticBrightnessAction),
         "sun-moon"},
        {pad,
         "Pad brightness up",
         typeid(PadBrightnessAdjustment),
         "sun",
         {"Display brightness up"}},
        {pad,
         "Pad brightness down",
         typeid(PadBrightnessAdjustment),
         "sun-dim",
         {"Display brightness down"}},
        {pad, "Toggle pad adaptive brightness", typeid(TogglePadAdaptiveBrightnessAction),
         "sun-moon"},
        {scenes, "Next scene", typeid(SceneNavigationAction), "arrow-down"},
        {scenes, "Previous scene", typeid(SceneNavigationAction), "arrow-up"},
        {keys, "Keystroke", typeid(KeystrokeAction), "keyboard"},
        {keys, "Open application", typeid(OpenApplicationAction), std::nullopt},
        {keys, "Open folder", typeid(OpenFolderAction), "folder"},
        {keys, "Open URL", typeid(OpenURLAction), "globe"},
        {keys, "AppleScript", typeid(AppleScriptAction), "terminal"},
        {keys, "Shell script", typeid(ShellScriptAction), "terminal"},
    };
    QList<std::pair<QString, const MacroAction*>> listed;
    for (const ActionGroup& group : ActionCatalog::groups()) {
        for (const auto& action : group.actions) {
            listed.append({group.name, action.get()});
        }
    }
    ASSERT_EQ(listed.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const MacroAction& action = *listed[i].second;
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(listed[i].first, row.group);
        EXPECT_EQ(action.name(), row.name);
        EXPECT_EQ(std::type_index(typeid(action)), row.type);
        EXPECT_EQ(action.symbol(), row.symbol);
        EXPECT_EQ(action.aliases(), row.aliases);
        // The stored name and every alias lead back to this very action.
        for (const QString& name : QStringList{row.name} + row.aliases) {
            EXPECT_EQ(&ActionCatalog::action(name), &action);
        }
    }
}

TEST(ActionCatalog, AnyOtherNameResolvesToNoActionAndNoNameIsUsedTwice) {
    for (const QString name : {"None", "", "volume up", " Mute", "Display brightness"}) {
        const MacroAction& action = ActionCatalog::action(name);
        EXPECT_EQ(std::type_index(typeid(action)), std::type_index(typeid(NoAction))) << name;
    }
    EXPECT_NO_THROW(ActionCatalog::makeNameTable(ActionCatalog::groups()));
    QList<ActionGroup> groups = ActionCatalog::groups();
    groups.last().actions << std::make_shared<MuteAction>();
    EXPECT_THROW(ActionCatalog::makeNameTable(groups), std::logic_error);
    // An alias clashing with an alias counts too, as does anything called "None".
    EXPECT_THROW(ActionCatalog::makeNameTable(
                     {{"A", {std::make_shared<PadBrightnessAdjustment>(AdjustmentDirection::up)}},
                      {"B", {std::make_shared<PadBrightnessAdjustment>(AdjustmentDirection::up)}}}),
                 std::logic_error);
    EXPECT_THROW(ActionCatalog::makeNameTable({{"A", {std::make_shared<NoAction>()}}}),
                 std::logic_error);
}

TEST(ActionCatalog, SummariesWithLiveValuesFromTheContext) {
    FakeActionContext context;
    context.brightness = 40;
    context.followMac = true;
    const QString media =
        "Controls whichever app is currently playing media, like the Control Center player.";
    const QString follow =
        "Makes the pad follow the Mac display brightness, including automatic adjustments. "
        "Currently %1. Manual pad brightness changes turn this off.";
    const QString volume = "Adjusts the current audio output volume.",
                  mac =
                      "Adjusts the built-in Mac display (or primary display when no built-in "
                      "screen is available).",
                  pad = "Adjusts the pad display brightness. Current setting: 40%.",
                  scenes = "Cycles through scenes in order and wraps at either end.";
    const QMap<QString, QString> summaries{
        {"Volume up", volume},
        {"Volume down", volume},
        {"Previous track", media},
        {"Play/pause", media},
        {"Next track", media},
        {"Mac display brightness up", mac},
        {"Mac display brightness down", mac},
        {"Pad brightness up", pad},
        {"Pad brightness down", pad},
        {"Next scene", scenes},
        {"Previous scene", scenes},
        {"Toggle Mac automatic brightness",
         "Toggles the Mac display’s ambient-light brightness adjustment. Requires a supported "
         "Apple display."},
        {"Toggle pad adaptive brightness", follow.arg("on")}};
    // Every other action has none.
    for (const ActionGroup& group : ActionCatalog::groups()) {
        for (const auto& action : group.actions) {
            const QString name = action->name();
            EXPECT_EQ(action->summary(context),
                      summaries.contains(name) ? std::optional(summaries[name]) : std::nullopt)
                << name;
        }
    }
    EXPECT_EQ(ActionCatalog::action("None").summary(context), std::nullopt);
    context.followMac = false;
    EXPECT_EQ(ActionCatalog::action("Toggle pad adaptive brightness").summary(context),
              follow.arg("off"));
}
