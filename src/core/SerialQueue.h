#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

// A labelled worker thread that runs tasks one at a time in the order they were queued.
// Display sessions and the shared action queue each own one; blocking device I/O runs here and
// never on the main thread.
//
// Threads: every member may be called from any thread. Tasks run on the queue's own thread.
// Ownership: the queue's state is shared with its thread, so a queue may be destroyed from one of
// its own tasks (the last owner of a session may be a task of that session's queue); the thread
// then finishes the tasks already queued and exits by itself.
class SerialQueue {
public:
    using Task = std::function<void()>;
    using Duration = std::chrono::milliseconds;

    // A repeating task. It runs while its handle is held; `cancel()` from any thread, or dropping
    // the last handle, stops further runs (a run in progress on the queue finishes).
    class RepeatingTimer {
    public:
        void cancel() { cancelled_ = true; }
        bool isCancelled() const { return cancelled_; }

    private:
        std::atomic<bool> cancelled_{false};
    };

    explicit SerialQueue(QString label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const QString& label() const;

    // Appends `task`. Returns false, dropping the task, once the queue has shut down.
    bool async(Task task);

    // Appends `task` to the queue when `delay` has passed (tasks queued meanwhile run first).
    bool asyncAfter(Duration delay, Task task);

    // Runs `task` after `interval`, then every `interval`, until the timer is cancelled or the
    // queue shuts down. Returns null after shutdown.
    std::shared_ptr<RepeatingTimer> repeating(Duration interval, Task task);

    // Queues `task` and blocks until it has run. Called from the queue's own thread it runs the
    // task inline. Returns false, without running the task, once the queue has shut down.
    bool sync(Task task);

    // True on the queue's own thread.
    bool isCurrent() const;

    // Orderly shutdown: no new tasks are accepted, delayed tasks and timers are dropped, the
    // tasks already queued run, and the thread is joined (unless called from the queue itself).
    // Idempotent; the destructor calls it.
    void shutdown();

    struct State;

private:
    std::shared_ptr<State> state_;
};
