#include "core/MainThread.h"
#include "core/SerialQueue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <future>

using namespace std::chrono_literals;

// In order on the queue's own thread, a delayed task letting others pass and waiting until due;
// sync from the queue itself runs inline. `order` is only touched on the queue.
TEST(SerialQueue, RunsTasksInOrderOnItsThreadDelayedOnesWhenDue) {
    SerialQueue queue("test.order");
    QStringList order, expected;
    QElapsedTimer clock;
    clock.start();
    queue.asyncAfter(100ms, [&] { order << (clock.elapsed() >= 100 ? "delayed" : "early"); });
    queue.asyncAfter(50ms, [&] { order << "sooner"; });
    for (int i = 0; i < 100; ++i) {
        expected << QString::number(i);
        queue.async([&order, i] { order << QString::number(i); });
    }
    expected << "sooner"
             << "delayed";
    bool onQueue = false, queueIsMain = true;
    queue.sync(
        [&] { queue.sync([&] { onQueue = queue.isCurrent(), queueIsMain = isMainThread(); }); });
    EXPECT_TRUE(onQueue && !queueIsMain && !queue.isCurrent());
    QStringList seen;
    ASSERT_TRUE(waitUntil([&] { return queue.sync([&] { seen = order; }) && seen.size() == 102; }));
    EXPECT_EQ(seen, expected);
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
