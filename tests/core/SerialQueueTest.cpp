#include "core/MainThread.h"
#include "core/SerialQueue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <future>
#include <mutex>

using namespace std::chrono_literals;

// One at a time, in order, on the queue's thread; a delayed task waits its turn and lets others
// pass; sync from the queue itself runs inline.
TEST(SerialQueue, RunsTasksInOrderOnItsThreadDelayedOnesWhenDue) {
    SerialQueue queue("test.order");
    std::mutex mutex;
    QStringList order, expected{"sooner", "delayed"};
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    const auto record = [&](const QString& name) {
        overlapped = running.fetch_add(1) != 0 || overlapped;
        std::lock_guard lock(mutex);
        order << name;
        running.fetch_sub(1);
    };
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> delayedAt{-1};
    queue.asyncAfter(150ms, [&] { record("delayed"), delayedAt = clock.elapsed(); });
    queue.asyncAfter(50ms, [&] { record("sooner"); });
    for (int i = 0; i < 200; ++i) {
        expected.insert(i, QString::number(i));
        queue.async([&, i] { record(QString::number(i)); });
    }
    bool onQueue = false, queueIsMain = true;
    queue.sync(
        [&] { queue.sync([&] { onQueue = queue.isCurrent(), queueIsMain = isMainThread(); }); });
    EXPECT_TRUE(onQueue && !queueIsMain && !queue.isCurrent());
    ASSERT_TRUE(waitUntil([&] { return delayedAt >= 0; }));
    EXPECT_GE(delayedAt.load(), 150);
    EXPECT_FALSE(overlapped);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, expected);
}

// A tick that was already running may still finish; past one more interval nothing runs.
TEST(SerialQueue, RepeatingTimerRunsUntilCancelledOrItsHandleIsDropped) {
    SerialQueue queue("test.timer");
    for (const bool cancel : {true, false}) {
        std::atomic<int> ticks{0};
        auto timer = queue.repeating(5ms, [&] { ++ticks; });
        ASSERT_TRUE(timer && waitUntil([&] { return ticks >= 3; }));
        cancel ? timer->cancel() : timer.reset();
        queue.sync([] {});
        const int after = ticks;
        std::promise<void> later;
        queue.asyncAfter(30ms, [&] { later.set_value(); });
        later.get_future().wait();
        EXPECT_EQ(ticks.load(), after) << (cancel ? "cancelled" : "dropped");
    }
}

TEST(SerialQueue, ShutdownRunsQueuedTasksDropsDelayedOnesAndRefusesMore) {
    auto queue = std::make_unique<SerialQueue>("test.shutdown");
    std::promise<void> gate;
    std::atomic<int> ran{0};
    std::atomic<bool> delayedRan{false};
    queue->async([opened = gate.get_future().share()] { opened.wait(); });  // holds the queue
    for (int i = 0; i < 10; ++i) {
        queue->async([&] { ++ran; });
    }
    // Not due before the shutdown, however slow the machine; shutdown does not wait for them.
    queue->asyncAfter(1h, [&] { delayedRan = true; });
    auto timer = queue->repeating(1h, [&] { delayedRan = true; });
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        gate.set_value();
    });
    queue->shutdown();  // blocks until the queued tasks have run
    releaser.join();
    EXPECT_EQ(ran.load(), 10);
    EXPECT_FALSE(queue->async([] {}) || queue->asyncAfter(1ms, [] {}) || queue->sync([] {}) ||
                 queue->repeating(1ms, [] {}));
    queue.reset();  // a second shutdown through the destructor is harmless

    // The worker sleeps until the earliest delayed task is due; shutdown drops that task under
    // it. Under AddressSanitizer this catches a wait that still reads the dropped deadline.
    for (int round = 0; round < 50; ++round) {
        SerialQueue waiting("test.shutdown-wait");
        waiting.asyncAfter(1h, [&] { delayedRan = true; });
        waiting.sync([] {});
        waiting.shutdown();
    }
    EXPECT_FALSE(delayedRan);
}

// A task that throws is logged and the queue goes on; a task may destroy its own queue.
TEST(SerialQueue, SurvivesThrowingTasksAndDestructionFromItsOwnTask) {
    LogCapture log;
    auto owner =
        std::make_shared<std::unique_ptr<SerialQueue>>(std::make_unique<SerialQueue>("test.throw"));
    SerialQueue& queue = **owner;
    queue.async([] { throw std::runtime_error("boom"); });
    EXPECT_TRUE(queue.sync([] {}));
    EXPECT_TRUE(log.contains("test.throw: task failed: boom"));
    std::promise<void> queued;
    std::atomic<bool> destroyed{false}, laterRan{false};
    queue.async([owner, allQueued = queued.get_future().share(), &destroyed] {
        allQueued.wait();  // the main thread is done with the queue
        owner->reset();
        destroyed = true;
    });
    queue.async([&] { laterRan = true; });
    queued.set_value();
    ASSERT_TRUE(waitUntil([&] { return destroyed && laterRan; }));
}

TEST(MainThread, RunOnMainFromAQueueArrivesOnTheMainThreadUnlessItsContextIsGone) {
    SerialQueue queue("test.hop");
    std::atomic<int> arrived{0};
    queue.async([&] { runOnMain([&] { arrived = isMainThread() ? 1 : -1; }); });
    ASSERT_TRUE(waitUntil([&] { return arrived != 0; }));
    EXPECT_EQ(arrived, 1);
    QObject keeper;
    auto doomed = std::make_unique<QObject>(), gone = std::make_unique<QObject>();
    bool ran = false, kept = false, dropped = false;
    runOnMain(gone.get(), [&] { ran = true; });
    runOnMainAfter(20ms, &keeper, [&] { kept = true; });
    runOnMainAfter(20ms, doomed.get(), [&] { dropped = true; });
    gone.reset();
    QCoreApplication::processEvents();
    doomed.reset();
    ASSERT_TRUE(waitUntil([&] { return kept; }));
    EXPECT_FALSE(ran || dropped);
}
