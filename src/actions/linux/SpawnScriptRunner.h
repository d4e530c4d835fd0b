#pragma once

#include "actions/ScriptRunner.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <vector>

#include <sys/types.h>

// ScriptRunner on posix_spawn. Each script gets its own process group so that, when it outlives
// `timeLimit`, the whole group (the script and whatever it started in the foreground) is killed
// and the shared action queue moves on.
//
// Standard error is kept up to `stderrLimit` bytes (cut back to a whole UTF-8 character); the
// rest is read and dropped so that a script that floods it neither blocks on a full pipe nor
// grows our memory. Reading stops once the script itself has exited and the pipe is drained,
// so a background job that inherited standard error cannot hold the queue.
//
// At the quit, stopAll() ends the scripts still running: their groups get SIGTERM, and SIGKILL
// when they are still there after `stopGrace`. For an immediate exit (a second termination
// signal) killRunningScripts() kills every running script's group of every runner from inside
// a signal handler, so no script is left behind without its time limit.
class SpawnScriptRunner final : public ScriptRunner {
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{std::chrono::seconds(60)};
    static constexpr std::size_t defaultStderrLimit = 64 * 1024;
    static constexpr std::chrono::milliseconds defaultStopGrace{std::chrono::seconds(2)};

    explicit SpawnScriptRunner(std::chrono::milliseconds timeLimit = defaultTimeLimit,
                               std::size_t stderrLimit = defaultStderrLimit,
                               std::chrono::milliseconds stopGrace = defaultStopGrace);
    ~SpawnScriptRunner() override;

    void run(const QString& executable, const QStringList& arguments) override;
    void stopAll() override;

    // SIGKILL to the process group of every script running now, in any runner. Async-signal-
    // safe: meant for a signal handler just before the process ends.
    static void killRunningScripts() noexcept;

private:
    void forget(pid_t group);

    std::chrono::milliseconds timeLimit_;
    std::size_t stderrLimit_;
    std::chrono::milliseconds stopGrace_;
    // Wakes running scripts' watch loops when stopAll() is called; -1 if it could not be made
    // (the loops then look at `stopping_` every few milliseconds).
    int wake_ = -1;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;            // guards running_ and the spawn/stop race
    std::vector<pid_t> running_;  // process groups of the scripts running now
};
