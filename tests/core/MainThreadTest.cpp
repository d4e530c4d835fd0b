#include "core/MainThread.h"

#include "core/SerialQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <memory>

using namespace std::chrono_literals;

TEST(MainThread, WorkFromAQueueArrivesOnTheMainThreadUnlessItsContextIsGone) {
    SerialQueue queue("test.hop");
    std::atomic<int> arrived{0};
    queue.async([&] { runOnMain([&] { arrived = isMainThread() ? 1 : -1; }); });
    ASSERT_TRUE(waitUntil([&] { return arrived != 0; }));
    EXPECT_EQ(arrived, 1);
    bool queueIsMain = true;
    queue.sync([&] { queueIsMain = isMainThread(); });
    EXPECT_FALSE(queueIsMain);

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
