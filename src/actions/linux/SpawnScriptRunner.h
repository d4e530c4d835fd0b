#pragma once

#include "actions/ScriptRunner.h"

#include <chrono>
#include <cstddef>

// ScriptRunner on posix_spawn. Each script gets its own process group so that, when it outlives
// `timeLimit`, the whole group (the script and whatever it started in the foreground) is killed
// and the shared action queue moves on.
//
// Standard error is kept up to `stderrLimit` bytes (cut back to a whole UTF-8 character); the
// rest is read and dropped so that a script that floods it neither blocks on a full pipe nor
// grows our memory. Reading stops once the script itself has exited and the pipe is drained,
// so a background job that inherited standard error cannot hold the queue.
class SpawnScriptRunner final : public ScriptRunner {
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{std::chrono::seconds(60)};
    static constexpr std::size_t defaultStderrLimit = 64 * 1024;

    explicit SpawnScriptRunner(std::chrono::milliseconds timeLimit = defaultTimeLimit,
                               std::size_t stderrLimit = defaultStderrLimit);

    void run(const QString& executable, const QStringList& arguments) override;

private:
    std::chrono::milliseconds timeLimit_;
    std::size_t stderrLimit_;
};
