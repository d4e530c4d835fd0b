#include "core/SerialQueue.h"

#include "core/Log.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#endif

using Clock = std::chrono::steady_clock;

struct SerialQueue::State {
    QString label;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> ready;
    // Delayed tasks by due time; the sequence number keeps equal times in queueing order.
    std::map<std::pair<Clock::time_point, uint64_t>, Task> delayed;
    uint64_t sequence = 0;
    bool shuttingDown = false;
    std::thread thread;
    std::thread::id threadID;

    void run();
};

void SerialQueue::State::run() {
#if defined(__linux__)
    // Thread names are limited to 15 bytes; the tail of a label tells queues apart best.
    QByteArray name = label.toUtf8();
    if (name.size() > 15) {
        name = name.right(15);
    }
    pthread_setname_np(pthread_self(), name.constData());
#endif
    std::unique_lock lock(mutex);
    for (;;) {
        const auto now = Clock::now();
        while (!delayed.empty() && delayed.begin()->first.first <= now) {
            ready.push_back(std::move(delayed.begin()->second));
            delayed.erase(delayed.begin());
        }
        if (!ready.empty()) {
            Task task = std::move(ready.front());
            ready.pop_front();
            lock.unlock();
            try {
                task();
            } catch (const std::exception& error) {
                logLine("%s: task failed: %s", qUtf8Printable(label), error.what());
            }
            // Whatever the task captured is released before the lock is taken again.
            task = nullptr;
            lock.lock();
            continue;
        }
        if (shuttingDown) {
            break;
        }
        if (delayed.empty()) {
            wake.wait(lock);
        } else {
            // A copy: `shutdown` may drop the delayed tasks (and this key with them) while we
            // wait, and the wait reads its deadline again when it wakes.
            const auto deadline = delayed.begin()->first.first;
            wake.wait_until(lock, deadline);
        }
    }
}

SerialQueue::SerialQueue(QString label) : state_(std::make_shared<State>()) {
    state_->label = std::move(label);
    std::lock_guard lock(state_->mutex);
    state_->thread = std::thread([state = state_] { state->run(); });
    state_->threadID = state_->thread.get_id();
}

SerialQueue::~SerialQueue() {
    shutdown();
}

const QString& SerialQueue::label() const {
    return state_->label;
}

bool SerialQueue::async(Task task) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->shuttingDown) {
            return false;
        }
        state_->ready.push_back(std::move(task));
    }
    state_->wake.notify_one();
    return true;
}

bool SerialQueue::asyncAfter(Duration delay, Task task) {
    if (delay <= Duration::zero()) {
        return async(std::move(task));
    }
    {
        std::lock_guard lock(state_->mutex);
        if (state_->shuttingDown) {
            return false;
        }
        state_->delayed.emplace(std::make_pair(Clock::now() + delay, state_->sequence++),
                                std::move(task));
    }
    state_->wake.notify_one();
    return true;
}

namespace {
// Schedules the next run of a repeating timer. Holds the queue's state weakly so that a pending
// tick never keeps a shut-down queue alive.
void scheduleTick(const std::weak_ptr<SerialQueue::State>& weakState,
                  const std::shared_ptr<SerialQueue::RepeatingTimer>& timer,
                  SerialQueue::Duration interval, std::shared_ptr<SerialQueue::Task> task);
}  // namespace

std::shared_ptr<SerialQueue::RepeatingTimer> SerialQueue::repeating(Duration interval, Task task) {
    if (interval <= Duration::zero()) {
        interval = Duration(1);
    }
    {
        std::lock_guard lock(state_->mutex);
        if (state_->shuttingDown) {
            return nullptr;
        }
    }
    auto timer = std::make_shared<RepeatingTimer>();
    scheduleTick(state_, timer, interval, std::make_shared<Task>(std::move(task)));
    return timer;
}

namespace {
void scheduleTick(const std::weak_ptr<SerialQueue::State>& weakState,
                  const std::shared_ptr<SerialQueue::RepeatingTimer>& timer,
                  SerialQueue::Duration interval, std::shared_ptr<SerialQueue::Task> task) {
    auto state = weakState.lock();
    if (!state) {
        return;
    }
    std::weak_ptr<SerialQueue::RepeatingTimer> weakTimer = timer;
    auto tick = [weakState, weakTimer, interval, task] {
        auto timer = weakTimer.lock();
        if (!timer || timer->isCancelled()) {
            return;
        }
        (*task)();
        if (!timer->isCancelled()) {
            scheduleTick(weakState, timer, interval, task);
        }
    };
    {
        std::lock_guard lock(state->mutex);
        if (state->shuttingDown) {
            return;
        }
        state->delayed.emplace(std::make_pair(Clock::now() + interval, state->sequence++),
                               std::move(tick));
    }
    state->wake.notify_one();
}
}  // namespace

bool SerialQueue::sync(Task task) {
    if (isCurrent()) {
        task();
        return true;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    const bool queued = async([&] {
        task();
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_all();
    });
    if (!queued) {
        return false;
    }
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
    return true;
}

bool SerialQueue::isCurrent() const {
    return std::this_thread::get_id() == state_->threadID;
}

void SerialQueue::shutdown() {
    std::map<std::pair<Clock::time_point, uint64_t>, Task> dropped;
    {
        std::lock_guard lock(state_->mutex);
        state_->shuttingDown = true;
        dropped.swap(state_->delayed);
    }
    state_->wake.notify_all();
    dropped.clear();  // outside the lock: dropped tasks may own objects with queues of their own
    if (!state_->thread.joinable()) {
        return;
    }
    if (isCurrent()) {
        // The thread keeps the state alive and ends after the current task and those queued.
        state_->thread.detach();
    } else {
        state_->thread.join();
    }
}
