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

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool processGone(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0) {
        return true;
    }
    // A killed child whose new parent has not reaped it yet is as good as gone.
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) == "Z";
}

}  // namespace

TEST(SpawnScriptRunner, ZeroExitStatusSucceeds) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "echo fine; echo also fine >&2; exit 0"), std::nullopt);
}

TEST(SpawnScriptRunner, SilentFailureReportsAnEmptyMessage) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "exit 3"), QString());
}

TEST(SpawnScriptRunner, FailureReportsStandardErrorExactlyWithItsLineBreak) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "echo oops >&2; exit 1"), QString("oops\n"));
}

TEST(SpawnScriptRunner, StandardOutputIsDiscardedEvenOnFailure) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "echo to-output; printf 'to-error' >&2; echo more; exit 2"),
              QString("to-error"));
}

TEST(SpawnScriptRunner, ErrorOutputKeepsUnicodeAndByteOrderMark) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "printf '\\357\\273\\277Grüße ✓' >&2; exit 1"),
              QChar(0xFEFF) + QString::fromUtf8("Grüße ✓"));
}

TEST(SpawnScriptRunner, InvalidUtf8ErrorOutputReportsScriptFailed) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "printf 'bad \\377 byte' >&2; exit 1"), QString("Script failed"));
}

TEST(SpawnScriptRunner, KilledScriptCountsAsFailure) {
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "printf 'dying' >&2; kill -9 $$"), QString("dying"));
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

TEST(SpawnScriptRunner, EnvironmentIsInherited) {
    qputenv("QUORVEL_SCRIPT_PROBE", "inherited value");
    SpawnScriptRunner runner;
    EXPECT_EQ(runShell(runner, "printf '%s' \"$QUORVEL_SCRIPT_PROBE\" >&2; exit 1"),
              QString("inherited value"));
    qunsetenv("QUORVEL_SCRIPT_PROBE");
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

TEST(SpawnScriptRunner, FloodOfErrorOutputIsDrainedAndCapped) {
    SpawnScriptRunner runner(60s, 1000);
    const auto message = runShell(runner, "head -c 5000000 /dev/zero | tr '\\0' 'x' >&2; exit 1");
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(*message, QString(1000, 'x'));
}

TEST(SpawnScriptRunner, CapNeverSplitsACharacter) {
    SpawnScriptRunner runner(60s, 5);
    EXPECT_EQ(runShell(runner, "printf 'ééé' >&2; exit 1"), QString::fromUtf8("éé"));
}

TEST(ScriptShell, PicksTheFirstExecutableCandidate) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath("not-executable"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(scriptShell({dir.filePath("missing"), plain.fileName(), "/bin/sh"}),
              QString("/bin/sh"));
}

TEST(ScriptShell, FallsBackToTheLastCandidateWhenNoneIsInstalled) {
    EXPECT_EQ(scriptShell({"/nonexistent/zsh", "/nonexistent/sh"}), QString("/nonexistent/sh"));
}
