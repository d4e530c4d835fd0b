#include "actions/SceneNavigationAction.h"
#include "actions/ScriptActions.h"
#include "actions/linux/SpawnScriptRunner.h"

#include "FakeActionContext.h"
#include "FakeScriptRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ScriptFixture : ::testing::Test {
    void SetUp() override { context.platform.scripts = runner; }

    // Runs the script `text` with `action` and waits for the report.
    QString run(const ScriptAction& action, const QString& text) {
        const qsizetype before = context.reports.size();
        action.perform(Binding(5, "LCD key 5", action.name(), text), context);
        EXPECT_TRUE(waitUntil([&] { return context.reports.size() > before; }));
        return context.message;
    }
    QList<QStringList> runs() {
        std::lock_guard lock(runner->mutex);
        return runner->runs;
    }

    std::shared_ptr<FakeScriptRunner> runner = std::make_shared<FakeScriptRunner>();
    FakeActionContext context;
};

using ScriptActionTest = ScriptFixture;

}  // namespace

TEST_F(ScriptActionTest, TextTravelsUnchangedAsOneArgumentOffTheMainThread) {
    context.message = "old failure";
    const QString text = "  echo 'a b' \"$HOME\"\n";
    EXPECT_EQ(run(ShellScriptAction(), text), "");
    EXPECT_EQ(run(AppleScriptAction(), ""), "");
    EXPECT_EQ(runs(),
              (QList<QStringList>{{scriptShell(), "-c", text}, {"/usr/bin/osascript", "-e", ""}}));
    EXPECT_EQ(runner->runsOnMain, 0);
    EXPECT_EQ(context.reportsOffMain, 0);
}

TEST_F(ScriptActionTest, FailuresReportTheRunnersMessage) {
    runner->failure = "oops\n";
    EXPECT_EQ(run(ShellScriptAction(), "echo oops >&2; exit 1"), "oops\n");
    context.platform.scripts.reset();
    EXPECT_EQ(run(AppleScriptAction(), "beep"), "Scripts cannot be run: /usr/bin/osascript");
}

TEST(SceneNavigationAction, StepsTheSceneAndReportsNothing) {
    FakeActionContext context;
    SceneNavigationAction(SceneNavigationAction::Direction::next).perform(Binding(), context);
    SceneNavigationAction(SceneNavigationAction::Direction::previous).perform(Binding(), context);
    EXPECT_EQ(context.calls, (QStringList{"changeScene 1", "changeScene -1"}));
}
