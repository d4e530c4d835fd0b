#include "actions/ScriptActions.h"
#include "actions/linux/SpawnScriptRunner.h"

#include "FakeActionContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ScriptAction, TextTravelsUnchangedOffTheMainThreadAndFailuresReportTheRunnersMessage) {
    auto runner = std::make_shared<FakeScriptRunner>();
    FakeActionContext context;
    context.platform.scripts = runner;
    context.message = "old failure";
    const auto run = [&](const ScriptAction& action, const QString& text) {
        const qsizetype before = context.reports.size();
        action.perform(Binding(5, "LCD key 5", action.name(), text), context);
        EXPECT_TRUE(waitUntil([&] { return context.reports.size() > before; }));
        return context.message;
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
    EXPECT_EQ(runner->runsOnMain, 0);
    EXPECT_EQ(context.reportsOffMain, 0);
}
