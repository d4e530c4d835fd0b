#include "actions/ActionCatalog.h"
#include "actions/ActionQueue.h"
#include "actions/AdjustmentAction.h"
#include "actions/MacBrightnessActions.h"
#include "actions/MediaPlayback.h"
#include "actions/NoAction.h"
#include "actions/PadBrightnessActions.h"
#include "actions/SceneNavigationAction.h"
#include "actions/ScriptActions.h"
#include "actions/linux/LinuxPlatformServices.h"
#include "actions/linux/SpawnScriptRunner.h"

#include "FakeActionContext.h"

#include <atomic>
#include <stdexcept>
#include <thread>
#include <typeindex>

namespace {

// An action with only what every action must have, plus a door to the background runner.
class BareAction : public AdjustmentAction {
public:
    QString subject() const override { return "Bare"; }
    AdjustmentDirection direction() const override { return AdjustmentDirection::up; }
    std::optional<QString> symbol() const override { return std::nullopt; }
    void perform(const Binding&, ActionContext&) const override {}
    using MacroAction::runInBackground;
};

}  // namespace

// The icon drawn from an action's symbol is the pad's to check; None does nothing at all.
TEST(MacroAction, DefaultsAskForNothingNoneDoesNothingAndBackgroundWorkReportsOnTheMainThread) {
    const BareAction action;
    FakeActionContext context;
    const Binding binding(3, "LCD key 3");
    EXPECT_TRUE(action.aliases().isEmpty() && action.isReady(binding, context));
    EXPECT_FALSE(action.icon(binding, context) || action.summary(context));
    const NoAction none;
    none.perform(binding, context);
    EXPECT_TRUE(context.calls.isEmpty());
    EXPECT_FALSE(none.isReady(binding, context) || none.icon(binding, context));
    EXPECT_EQ(QStringList({action.artworkKey(binding), action.searchTerm(binding),
                           none.searchTerm(binding)}),
              QStringList({"", "Bare up icon", "icon"}));
    // Each action reports a missing service as that service's failure, so a gap here would look
    // like broken hardware.
    const PlatformServices s = linuxPlatformServices();
    EXPECT_TRUE(s.audio && s.displayBrightness && s.input && s.nowPlaying && s.workspace &&
                s.scripts);

    FakeActionContext queued;
    queued.message = "Previous failure";
    BareAction::runInBackground(queued, [] {});
    BareAction::runInBackground(queued, [] { throw ActionError::failed("Cannot set mute"); });
    BareAction::runInBackground(queued, [] { throw std::runtime_error("disk on fire"); });
    ASSERT_TRUE(waitUntil([&] { return queued.reports.size() == 3; }));
    EXPECT_EQ(queued.reports, (QStringList{"", "Cannot set mute", "disk on fire"}));
    EXPECT_EQ(queued.reportsOffMain, 0);

    auto gone = std::make_unique<FakeActionContext>();
    std::atomic<bool> release{false};
    bool finished = false;
    BareAction::runInBackground(*gone, [&] {
        while (!release) {
            std::this_thread::yield();
        }
    });
    gone.reset();
    release = true;
    // A marker queued behind the work shows the work and its hop to the main thread are done.
    ActionQueue::shared().async([&] { runOnMain([&] { finished = true; }); });
    EXPECT_TRUE(waitUntil([&] { return finished; }));
}

// Steps clamp to 1...100; scenes step both ways; brightness changes or toggles, then syncs the pad,
// or reports why not.
TEST(AdjustmentAction, StepsClampScenesStepBothWaysAndBrightnessSyncsThePadOrSaysWhyNot) {
    const BareAction up;
    EXPECT_EQ(up.name(), "Bare up");
    const std::pair<std::optional<int64_t>, int> steps[] = {
        {std::nullopt, 5}, {37, 37}, {0, 1}, {-7, 1}, {INT64_MIN, 1}, {150, 100}, {INT64_MAX, 100}};
    for (const auto& [step, expected] : steps) {
        EXPECT_EQ(up.signedStep(dial(step)), expected) << step.value_or(-1);
    }
    FakeActionContext context;
    SceneNavigationAction(SceneNavigationAction::Direction::next).perform(Binding(), context);
    SceneNavigationAction(SceneNavigationAction::Direction::previous).perform(Binding(), context);
    using Direction = AdjustmentDirection;
    auto display = std::make_shared<FakeDisplayBrightness>();
    context.platform.displayBrightness = display;
    MacBrightnessAdjustment(Direction::down).perform(dial(), context);
    EXPECT_DOUBLE_EQ(display->current, 0.45);
    MacBrightnessAdjustment(Direction::down).perform(dial(250), context);
    EXPECT_DOUBLE_EQ(display->current, 0.0);
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(display->automaticOn);
    display->ignoreAutomatic = true;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    display->automaticSupported = false;
    ToggleMacAutomaticBrightnessAction().perform(dial(), context);
    display->failure = "This Mac display does not expose native brightness control";
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    context.platform.displayBrightness.reset();
    MacBrightnessAdjustment(Direction::up).perform(dial(), context);
    PadBrightnessAdjustment(Direction::down).perform(dial(), context);
    PadBrightnessAdjustment(Direction::up).perform(dial(150), context);
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    EXPECT_TRUE(context.followMac);
    context.toggleFailure = "Could not read Mac display brightness";
    TogglePadAdaptiveBrightnessAction().perform(dial(), context);
    const QStringList scenes{"changeScene 1", "changeScene -1"},
        synced{"syncPadBrightness", "report: "};
    EXPECT_EQ(context.calls,
              scenes + synced + synced + synced +
                  QStringList({"report: Could not toggle Mac automatic brightness",
                               "report: This Mac display does not support automatic brightness",
                               "report: This Mac display does not expose native brightness control",
                               "report: Mac display brightness control is unavailable",
                               "changePadBrightness -5", "changePadBrightness 100",
                               "togglePadFollowMac", "report: ", "togglePadFollowMac",
                               "report: Could not read Mac display brightness"}));
}

TEST(ScriptAction, TextTravelsUnchangedOffTheMainThreadAndFailuresReportTheRunnersMessage) {
    auto runner = std::make_shared<FakeScriptRunner>();
    FakeActionContext context;
    context.platform.scripts = runner;
    context.message = "old failure";
    const auto run = [&](const ScriptAction& action, const QString& text) {
        return context.performAndWait(action, Binding(5, "LCD key 5", action.name(), text));
    };
    const QString text = "  echo 'a b' \"$HOME\"\n";
    EXPECT_EQ(run(ShellScriptAction(), text), "");
    EXPECT_EQ(run(AppleScriptAction(), ""), "");
    runner->failure = "oops\n";
    EXPECT_EQ(run(ShellScriptAction(), "exit 1"), "oops\n");
    context.platform.scripts.reset();
    EXPECT_EQ(run(AppleScriptAction(), "beep"), "Scripts cannot be run: /usr/bin/osascript");
    std::lock_guard lock(runner->mutex);
    EXPECT_EQ(runner->runs, (QList<QStringList>{{scriptShell(), "-c", text},
                                                {"/usr/bin/osascript", "-e", ""},
                                                {scriptShell(), "-c", "exit 1"}}));
    EXPECT_EQ(runner->runsOnMain + context.reportsOffMain, 0);
}

// Every action in its group and order, as "name symbol [aliases]"; each name and alias leads
// back to that very action.
TEST(ActionCatalog, GroupsListEveryActionInOrderWithSymbolAliasesAndLiveSummaries) {
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
    // Any other name resolves to None; no name is used twice.
    for (const QString name : {"None", "", "volume up", " Mute", "Display brightness"}) {
        const MacroAction& action = ActionCatalog::action(name);
        EXPECT_EQ(std::type_index(typeid(action)), std::type_index(typeid(NoAction))) << name;
    }
    // An alias clashing with an alias counts as names do, and so does anything called "None".
    const auto pad = [] {
        return std::make_shared<PadBrightnessAdjustment>(AdjustmentDirection::up);
    };
    EXPECT_THROW(ActionCatalog::makeNameTable({{"A", {pad()}}, {"B", {pad()}}}), std::logic_error);
    EXPECT_THROW(ActionCatalog::makeNameTable({{"A", {std::make_shared<NoAction>()}}}),
                 std::logic_error);
    // Summaries read the values they show from the context each time they are asked for.
    FakeActionContext context;
    context.brightness = 40;
    const auto summary = [&](const char* name) {
        return ActionCatalog::action(name).summary(context).value_or("-");
    };
    const QString text =
        "Makes the pad follow the Mac display brightness, including automatic "
        "adjustments. Currently %1. Manual pad brightness changes turn this off.";
    const QString off = summary("Toggle pad adaptive brightness");
    context.followMac = true;
    EXPECT_EQ(
        QStringList({off, summary("Toggle pad adaptive brightness"), summary("Pad brightness down"),
                     summary("Previous scene"), summary("Mute")}),
        QStringList({text.arg("off"), text.arg("on"),
                     "Adjusts the pad display brightness. Current setting: 40%.",
                     "Cycles through scenes in order and wraps at either end.", "-"}));
}
