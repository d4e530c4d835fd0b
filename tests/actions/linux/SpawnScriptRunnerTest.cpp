#include "actions/linux/SpawnScriptRunner.h"

#include "core/ActionError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <signal.h>

using namespace std::chrono_literals;

namespace {

// Runs `script` with /bin/sh -c; returns the failure message, or nullopt on success.
std::optional<QString> runShell(SpawnScriptRunner& runner, const QString& script,
                                const QStringList& extra = {}) {
    try {
        runner.run("/bin/sh", QStringList{"-c", script} + extra);
        return std::nullopt;
    } catch (const ActionError& error) {
        return error.message();
    }
}

}  // namespace

TEST(SpawnScriptRunner, FailureReportsExactlyWhatTheScriptWroteToStandardError) {
    qputenv("QUORVEL_SCRIPT_PROBE", "inherited value");
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"echo fine; echo also fine >&2; exit 0", std::nullopt},
        {"exit 3", QString()},
        {"echo oops >&2; exit 1", QString("oops\n")},
        // Standard output is discarded, even on failure.
        {"echo to-output; printf 'to-error' >&2; echo more; exit 2", QString("to-error")},
        {"printf '\\357\\273\\277Grüße ✓' >&2; exit 1",
         QChar(0xFEFF) + QString::fromUtf8("Grüße ✓")},
        {"printf 'bad \\377 byte' >&2; exit 1", QString("Script failed")},
        {"printf 'dying' >&2; kill -9 $$", QString("dying")},
        // The environment is inherited.
        {"printf '%s' \"$QUORVEL_SCRIPT_PROBE\" >&2; exit 1", QString("inherited value")},
    };
    SpawnScriptRunner runner;
    for (const auto& [script, expected] : cases) {
        SCOPED_TRACE(script.toStdString());
        EXPECT_EQ(runShell(runner, script), expected);
    }
    qunsetenv("QUORVEL_SCRIPT_PROBE");
}

TEST(SpawnScriptRunner, ScriptTextTravelsAsOneUnchangedArgument) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("argument");
    const QString text = "  two  words 'quoted' \"double\" $HOME \\ \n trailing ";
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, QString("printf '%s' \"$0\" > '%1'").arg(out), {text}),
              std::nullopt);
    EXPECT_EQ(readFile(out), text.toUtf8());
}

TEST(SpawnScriptRunner, MissingProgramReportsTheLaunchError) {
    SpawnScriptRunner runner;
    try {
        runner.run("/usr/bin/osascript-not-installed", {"-e", ""});
        FAIL() << "launching a missing program succeeded";
    } catch (const ActionError& error) {
        EXPECT_TRUE(error.message().contains("/usr/bin/osascript-not-installed"));
        EXPECT_TRUE(error.message().contains("No such file or directory")) << error.what();
    }
}

TEST(SpawnScriptRunner, ScriptOverTheTimeLimitIsStoppedWithItsProcessGroup) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath("pid");
    SpawnScriptRunner runner(300ms);
    const auto message =
        runShell(runner, QString("sleep 1000 & echo $! > '%1'; wait").arg(pidFile));
    EXPECT_EQ(message, QString("The script did not finish within 0.3 seconds and was stopped"));
    const qint64 childPid = readFile(pidFile).trimmed().toLongLong();
    ASSERT_GT(childPid, 0);
    EXPECT_TRUE(waitUntil([&] { return processGone(childPid); }));
}

TEST(SpawnScriptRunner, BackgroundJobHoldingStandardErrorDoesNotHoldTheRunner) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath("pid");
    // If the runner waited for the pipe to close it would hit the limit and report it.
    SpawnScriptRunner runner(10s);
    EXPECT_EQ(
        runShell(runner, QString("sleep 1000 >/dev/null & echo $! > '%1'; exit 0").arg(pidFile)),
        std::nullopt);
    const qint64 jobPid = readFile(pidFile).trimmed().toLongLong();
    ASSERT_GT(jobPid, 0);
    EXPECT_FALSE(processGone(jobPid)) << "a finished script's background job was killed";
    ::kill(static_cast<pid_t>(jobPid), SIGKILL);
}

TEST(SpawnScriptRunner, ErrorOutputIsDrainedAndCappedWithoutSplittingACharacter) {
    SpawnScriptRunner runner(60s, 1000);
    EXPECT_EQ(runShell(runner, "head -c 5000000 /dev/zero | tr '\\0' 'x' >&2; exit 1"),
              QString(1000, 'x'));
    SpawnScriptRunner narrow(60s, 5);
    EXPECT_EQ(runShell(narrow, "printf 'ééé' >&2; exit 1"), QString::fromUtf8("éé"));
}

TEST(ScriptShell, PicksTheFirstExecutableCandidateElseTheLast) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath("not-executable"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(scriptShell({dir.filePath("missing"), plain.fileName(), "/bin/sh"}),
              QString("/bin/sh"));
    EXPECT_EQ(scriptShell({"/nonexistent/zsh", "/nonexistent/sh"}), QString("/nonexistent/sh"));
}
