#include "actions/ActionQueue.h"

#include "core/MainThread.h"

#include <atomic>

namespace {
std::atomic<bool> closed{false};
}  // namespace

SerialQueue& ActionQueue::shared() {
    static SerialQueue queue(QStringLiteral("Mountain DisplayPad.actions"));
    return queue;
}

void ActionQueue::close(std::function<void()> ended) {
    closed = true;
    // Every task queued before this one sees the flag and does nothing, so this runs as soon as
    // the task running now returns.
    const bool queued = shared().async([ended] { runOnMain(ended); });
    if (!queued) {
        runOnMain(std::move(ended));
    }
}

bool ActionQueue::isClosed() {
    return closed;
}
