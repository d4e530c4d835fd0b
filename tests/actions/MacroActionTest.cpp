#include "actions/ActionQueue.h"
#include "actions/AdjustmentAction.h"
#include "actions/MacroAction.h"
#include "actions/NoAction.h"
#include "actions/SceneNavigationAction.h"

#include "FakeActionContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

// An action with only what every action must have, plus a door to the background runner.
class BareAction : public AdjustmentAction {
public:
    QString subject() const override { return "Bare"; }
    AdjustmentDirection direction() const override { return AdjustmentDirection::up; }
    std::optional<QString> symbol() const override { return symbolName; }
    void perform(const Binding&, ActionContext&) const override {}
    using MacroAction::runInBackground;

    std::optional<QString> symbolName;
};

}  // namespace

TEST(MacroAction, DefaultsAskForNothingAndShowTheBuiltInIcon) {
    BareAction action;
    FakeActionContext context;
    const Binding binding(3, "LCD key 3");
    EXPECT_TRUE(action.aliases().isEmpty());
    EXPECT_TRUE(action.isReady(binding, context));
    EXPECT_FALSE(action.icon(binding, context).has_value());
    EXPECT_EQ(action.artworkKey(binding), "");
    EXPECT_EQ(action.searchTerm(binding), "Bare up icon");
    EXPECT_FALSE(action.summary(context).has_value());
    action.symbolName = "folder";
    const std::optional<QImage> icon = action.icon(binding, context);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->size(), QSize(100, 100));
    EXPECT_EQ(icon->text("Description"), "Bare up");

    const NoAction none;
    none.perform(binding, context);
    EXPECT_TRUE(context.calls.isEmpty());
    EXPECT_FALSE(none.isReady(binding, context));
    EXPECT_FALSE(none.icon(binding, context).has_value());
    EXPECT_EQ(none.searchTerm(binding), "icon");
}

TEST(MacroAction, BackgroundWorkReportsOnTheMainThreadUnlessTheContextIsGone) {
    FakeActionContext context;
    context.message = "Previous failure";
    std::atomic<bool> ranOnQueue{false};
    BareAction::runInBackground(context, [&] { ranOnQueue = ActionQueue::shared().isCurrent(); });
    BareAction::runInBackground(context, [] { throw ActionError::failed("Cannot set mute"); });
    BareAction::runInBackground(context, [] { throw std::runtime_error("disk on fire"); });
    ASSERT_TRUE(waitUntil([&] { return context.reports.size() == 3; }));
    EXPECT_TRUE(ranOnQueue);
    EXPECT_EQ(context.reports, (QStringList{"", "Cannot set mute", "disk on fire"}));
    EXPECT_EQ(context.reportsOffMain, 0);

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

TEST(AdjustmentAction, NameAndStepClampedToOneToHundred) {
    const BareAction up;
    EXPECT_EQ(up.name(), "Bare up");
    const std::pair<std::optional<int64_t>, int> steps[] = {
        {std::nullopt, 5}, {37, 37}, {0, 1}, {-7, 1}, {INT64_MIN, 1}, {150, 100}, {INT64_MAX, 100}};
    for (const auto& [step, expected] : steps) {
        Binding binding(1, "Dial");
        binding.adjustmentStep = step;
        EXPECT_EQ(up.signedStep(binding), expected) << step.value_or(-1);
    }
    FakeActionContext context;
    SceneNavigationAction(SceneNavigationAction::Direction::next).perform(Binding(), context);
    SceneNavigationAction(SceneNavigationAction::Direction::previous).perform(Binding(), context);
    EXPECT_EQ(context.calls, (QStringList{"changeScene 1", "changeScene -1"}));
}
