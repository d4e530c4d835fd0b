#include "core/MainThread.h"

#include "core/SerialQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <memory>

using namespace std::chrono_literals;

TEST(MainThread, WorkFromAQueueArrivesOnTheMainThread) {
    SerialQueue queue("test.hop");
    std::atomic<bool> arrived{false};
    std::atomic<bool> onMain{false};
    queue.async([&] {
        runOnMain([&] {
            onMain = isMainThread();
            arrived = true;
        });
    });
    ASSERT_TRUE(waitUntil([&] { return arrived.load(); }));
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(isMainThread());
    bool queueIsMain = true;
    queue.sync([&] { queueIsMain = isMainThread(); });
    EXPECT_FALSE(queueIsMain);
}

TEST(MainThread, CallIsDroppedWhenItsContextIsGone) {
    auto context = std::make_unique<QObject>();
    bool ran = false;
    runOnMain(context.get(), [&] { ran = true; });
    context.reset();
    bool marker = false;
    runOnMain([&] { marker = true; });
    ASSERT_TRUE(waitUntil([&] { return marker; }));
    EXPECT_FALSE(ran);
}

TEST(MainThread, DelayedCallRunsAfterTheDelayUnlessTheContextDies) {
    QObject keeper;
    auto doomed = std::make_unique<QObject>();
    bool kept = false;
    bool dropped = false;
    runOnMainAfter(20ms, &keeper, [&] { kept = true; });
    runOnMainAfter(20ms, doomed.get(), [&] { dropped = true; });
    QCoreApplication::processEvents();
    doomed.reset();
    ASSERT_TRUE(waitUntil([&] { return kept; }));
    EXPECT_FALSE(dropped);
}
