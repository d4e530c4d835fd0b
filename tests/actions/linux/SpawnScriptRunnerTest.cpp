#include "actions/linux/SpawnScriptRunner.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {

// Runs `script` with /bin/sh -c; the failure message, or nullopt on success.
std::optional<QString> runShell(SpawnScriptRunner& runner, const QString& script,
                                const QStringList& extra = {}) {
    const QString error = actionErrorOf([&] {
        runner.run("/bin/sh", QStringList{"-c", script} + extra);
    });
    return error == "(no error)" ? std::nullopt : std::optional(error);
}

}  // namespace

TEST(SpawnScriptRunner, FailuresReportTheScriptsErrorOutputCappedAndSlowScriptsAreStopped) {
    const QString text = "  two  words 'quoted' \"double\" $HOME \\ \n trailing ";
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"echo fine; echo also fine >&2; exit 0", std::nullopt},
        {"exit 3", QString()},
        // Standard output is discarded, even on failure.
        {"echo to-output; printf 'to-error' >&2; echo more; exit 2", QString("to-error")},
        {"printf '\\357\\273\\277Grüße ✓' >&2; exit 1", QChar(0xFEFF) + QString("Grüße ✓")},
        {"printf 'bad \\377 byte' >&2; exit 1", QString("Script failed")},
        {"printf 'dying' >&2; kill -9 $$", QString("dying")},
        // The script text arrives as one unchanged argument.
        {"printf '%s' \"$0\" >&2; exit 1", text},
    };
    SpawnScriptRunner runner;
    for (const auto& [script, expected] : cases) {
        EXPECT_EQ(runShell(runner, script, {text}), expected) << script;
    }
    const QString launch = actionErrorOf([&] { runner.run("/usr/bin/osascript-missing", {}); });
    EXPECT_TRUE(launch.contains("/usr/bin/osascript-missing") &&
                launch.contains("No such file or directory"))
        << launch;
    // A script over the time limit is stopped with its process group, but not its daemons.
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    SpawnScriptRunner limited(300ms);
    EXPECT_EQ(runShell(limited, QString("sleep 1000 & echo $! > '%1'; wait").arg(pidFile)),
              "The script did not finish within 0.3 seconds and was stopped");
    const qint64 child = readFile(pidFile).trimmed().toLongLong();
    ASSERT_GT(child, 0);
    EXPECT_TRUE(waitUntil([&] { return processGone(child); }));
    // A background job that keeps the error pipe open does not hold a script that finished.
    SpawnScriptRunner patient(10s);
    EXPECT_EQ(runShell(patient, QString("sleep 1000 >/dev/null & echo $! > '%1'").arg(pidFile)),
              std::nullopt);
    const qint64 job = readFile(pidFile).trimmed().toLongLong();
    ASSERT_GT(job, 0);
    EXPECT_FALSE(processGone(job)) << "a finished script's background job was killed";
    ::kill(static_cast<pid_t>(job), SIGKILL);
    // Error output is drained and capped without splitting a character.
    SpawnScriptRunner capped(60s, 1000);
    EXPECT_EQ(runShell(capped, "head -c 5000000 /dev/zero | tr '\\0' 'x' >&2; exit 1"),
              QString(1000, 'x'));
    SpawnScriptRunner narrow(60s, 5);
    EXPECT_EQ(runShell(narrow, "printf 'ééé' >&2; exit 1"), QString("éé"));
}
