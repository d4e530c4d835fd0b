#include "core/SerialQueue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <future>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;

TEST(SerialQueue, RunsTasksOneAtATimeInOrderOnItsThreadAndSyncFromItInline) {
    SerialQueue queue("test.order");
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            overlapped = running.fetch_add(1) != 0 || overlapped;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    bool onQueue = false;
    queue.sync([&] { queue.sync([&] { onQueue = queue.isCurrent(); }); });
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[i], i);
    }
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, DelayedTaskWaitsItsTurnAndLetsOthersPass) {
    SerialQueue queue("test.delay");
    std::mutex mutex;
    QStringList order;
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> delayedAt{-1};
    const auto record = [&](const char* name) {
        std::lock_guard lock(mutex);
        order << name;
    };
    queue.asyncAfter(150ms, [&] {
        delayedAt = clock.elapsed();
        record("delayed");
    });
    queue.asyncAfter(50ms, [&] { record("sooner"); });
    queue.async([&] { record("now"); });
    ASSERT_TRUE(waitUntil([&] { return delayedAt >= 0; }));
    EXPECT_GE(delayedAt.load(), 150);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (QStringList{"now", "sooner", "delayed"}));
}

TEST(SerialQueue, RepeatingTimerRunsUntilCancelledOrItsHandleIsDropped) {
    SerialQueue queue("test.timer");
    for (const bool cancel : {true, false}) {
        std::atomic<int> ticks{0};
        auto timer = queue.repeating(5ms, [&] { ++ticks; });
        ASSERT_TRUE(timer);
        ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }));
        cancel ? timer->cancel() : timer.reset();
        // A tick that was already running may still finish; drain the queue past one more
        // interval and check that nothing runs after that.
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
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<int> ran{0};
    std::atomic<bool> delayedRan{false};
    queue->async([opened] { opened.wait(); });  // holds the queue while more work piles up
    for (int i = 0; i < 10; ++i) {
        queue->async([&] { ++ran; });
    }
    // Not due before the shutdown, however slowly this machine runs; shutdown must not wait
    // for them either.
    queue->asyncAfter(1h, [&] { delayedRan = true; });
    auto timer = queue->repeating(1h, [&] { delayedRan = true; });
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        gate.set_value();
    });
    queue->shutdown();  // blocks until the queued tasks have run
    releaser.join();
    EXPECT_EQ(ran.load(), 10);
    EXPECT_FALSE(delayedRan);
    EXPECT_FALSE(queue->async([] {}) || queue->asyncAfter(1ms, [] {}) || queue->sync([] {}));
    EXPECT_EQ(queue->repeating(1ms, [] {}), nullptr);
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

TEST(SerialQueue, CanBeDestroyedFromItsOwnTask) {
    auto owner = std::make_shared<std::unique_ptr<SerialQueue>>(
        std::make_unique<SerialQueue>("test.selfdestroy"));
    std::promise<void> queued;
    std::shared_future<void> allQueued = queued.get_future().share();
    std::atomic<bool> destroyed{false}, laterRan{false};
    SerialQueue& queue = **owner;
    queue.async([owner, allQueued, &destroyed] {
        allQueued.wait();  // the main thread is done with the queue
        owner->reset();
        destroyed = true;
    });
    queue.async([&] { laterRan = true; });
    queued.set_value();
    ASSERT_TRUE(waitUntil([&] { return destroyed && laterRan; }));
}

TEST(SerialQueue, TaskThatThrowsIsLoggedAndTheQueueGoesOn) {
    LogCapture log;
    SerialQueue queue("test.throw");
    queue.async([] { throw std::runtime_error("boom"); });
    bool after = false;
    queue.sync([&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_TRUE(log.contains("test.throw: task failed: boom"));
}
