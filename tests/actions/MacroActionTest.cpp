#include "actions/ActionQueue.h"
#include "actions/AdjustmentAction.h"
#include "actions/MacroAction.h"
#include "actions/NoAction.h"

#include "FakeActionContext.h"
#include "core/ActionError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

// An action with only what every action must have, plus a door to the background runner.
class BareAction : public MacroAction {
public:
    QString name() const override { return "Bare"; }
    std::optional<QString> symbol() const override { return symbolName; }
    void perform(const Binding&, ActionContext&) const override {}
    using MacroAction::runInBackground;

    std::optional<QString> symbolName;
};

class LoudAdjustment : public AdjustmentAction {
public:
    explicit LoudAdjustment(AdjustmentDirection direction) : direction_(direction) {}
    QString subject() const override { return "Loudness"; }
    AdjustmentDirection direction() const override { return direction_; }
    void perform(const Binding&, ActionContext&) const override {}

private:
    AdjustmentDirection direction_;
};

Binding stepping(std::optional<int64_t> step) {
    Binding binding(1, "Dial");
    binding.adjustmentStep = step;
    return binding;
}

}  // namespace

TEST(MacroAction, DefaultsAskForNothingAndShowTheBuiltInIcon) {
    BareAction action;
    FakeActionContext context;
    const Binding binding(3, "LCD key 3");
    EXPECT_TRUE(action.aliases().isEmpty());
    EXPECT_TRUE(action.isReady(binding, context));
    EXPECT_FALSE(action.icon(binding, context).has_value());
    EXPECT_EQ(action.artworkKey(binding), "");
    EXPECT_EQ(action.searchTerm(binding), "Bare icon");
    EXPECT_FALSE(action.summary(context).has_value());

    action.symbolName = "folder";
    const std::optional<QImage> icon = action.icon(binding, context);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->size(), QSize(100, 100));
    EXPECT_EQ(icon->text("Description"), "Bare");
}

TEST(MacroAction, BackgroundWorkReportsOnTheMainThread) {
    FakeActionContext context;
    context.message = "Previous failure";
    std::atomic<bool> ranOnQueue{false};
    BareAction::runInBackground(context, [&] { ranOnQueue = ActionQueue::shared().isCurrent(); });
    ASSERT_TRUE(waitUntil([&] { return !context.reports.isEmpty(); }));
    EXPECT_TRUE(ranOnQueue);
    EXPECT_EQ(context.message, "");  // success clears an earlier failure

    BareAction::runInBackground(context, [] { throw ActionError::failed("Cannot set mute"); });
    BareAction::runInBackground(context, [] { throw std::runtime_error("disk on fire"); });
    ASSERT_TRUE(waitUntil([&] { return context.reports.size() == 3; }));
    EXPECT_EQ(context.reports, (QStringList{"", "Cannot set mute", "disk on fire"}));
    EXPECT_EQ(context.reportsOffMain, 0);
}

TEST(MacroAction, BackgroundReportIsDroppedWhenTheContextIsGone) {
    auto context = std::make_unique<FakeActionContext>();
    std::atomic<bool> release{false};
    bool finished = false;
    BareAction::runInBackground(*context, [&] {
        while (!release) {
            std::this_thread::yield();
        }
    });
    context.reset();
    release = true;
    // A marker queued behind the work shows the work and its hop to the main thread are done.
    ActionQueue::shared().async([&] { runOnMain([&] { finished = true; }); });
    EXPECT_TRUE(waitUntil([&] { return finished; }));
}

TEST(AdjustmentAction, NameAndStepClampedToOneToHundred) {
    const LoudAdjustment up(AdjustmentDirection::up);
    const LoudAdjustment down(AdjustmentDirection::down);
    EXPECT_EQ(up.name(), "Loudness up");
    EXPECT_EQ(down.name(), "Loudness down");
    EXPECT_EQ(up.step(stepping(std::nullopt)), 5);
    EXPECT_EQ(down.signedStep(stepping(std::nullopt)), -5);
    EXPECT_EQ(up.step(stepping(37)), 37);
    for (const int64_t low : {int64_t(0), int64_t(-7), INT64_MIN}) {
        EXPECT_EQ(up.signedStep(stepping(low)), 1);
        EXPECT_EQ(down.signedStep(stepping(low)), -1);
    }
    for (const int64_t high : {int64_t(150), int64_t(250), INT64_MAX}) {
        EXPECT_EQ(up.signedStep(stepping(high)), 100);
        EXPECT_EQ(down.signedStep(stepping(high)), -100);
    }
}

TEST(NoAction, DoesNothingAndIsNeverReady) {
    FakeActionContext context;
    const NoAction none;
    const Binding binding(4, "LCD key 4");
    none.perform(binding, context);
    EXPECT_TRUE(context.calls.isEmpty());
    EXPECT_EQ(none.name(), "None");
    EXPECT_FALSE(none.isReady(binding, context));
    EXPECT_FALSE(none.icon(binding, context).has_value());
    EXPECT_EQ(none.searchTerm(binding), "icon");
}
