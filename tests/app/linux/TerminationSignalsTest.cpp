#include "app/linux/TerminationSignals.h"
#include "core/MainThread.h"
#include "support/TestSupport.h"

#include <csignal>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {
struct Heard {
    int signal = 0;
    int count = 0;
    bool onMainThread = false;
};

void listen(TerminationSignals& watcher, Heard& heard) {
    QObject::connect(&watcher, &TerminationSignals::terminationRequested, [&heard](int signal) {
        heard.signal = signal;
        ++heard.count;
        heard.onMainThread = isMainThread();
    });
}
}  // namespace

TEST(TerminationSignals, SigtermArrivesOnTheMainThreadAsARequest) {
    TerminationSignals watcher;
    Heard heard;
    listen(watcher, heard);
    raise(SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return heard.count == 1; }));
    EXPECT_EQ(heard.signal, SIGTERM);
    EXPECT_TRUE(heard.onMainThread);
    EXPECT_EQ(watcher.received(), 1);
}

TEST(TerminationSignals, SigintArrivesAsARequest) {
    TerminationSignals watcher;
    Heard heard;
    listen(watcher, heard);
    raise(SIGINT);
    ASSERT_TRUE(waitUntil([&] { return heard.count == 1; }));
    EXPECT_EQ(heard.signal, SIGINT);
}

TEST(TerminationSignals, ASecondSignalEndsTheProcessAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TerminationSignals watcher;
            raise(SIGINT);
            // The event loop never ran: the first request is still waiting in the pipe, as it
            // would be when the quit hangs.
            raise(SIGTERM);
            std::exit(0);
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "");
}

TEST(TerminationSignals, OnlyOneWatcherAtATime) {
    {
        TerminationSignals watcher;
        EXPECT_THROW(TerminationSignals(), std::logic_error);
    }
    // The first one is gone, so a new one may listen, and starts counting afresh.
    TerminationSignals again;
    Heard heard;
    listen(again, heard);
    raise(SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return heard.count == 1; }));
}

TEST(TerminationSignals, PutsBackTheHandlersItFound) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction original {};
    sigaction(SIGTERM, &ignore, &original);
    {
        TerminationSignals watcher;
        struct sigaction during {};
        sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(during.sa_handler, SIG_IGN);
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    sigaction(SIGTERM, &original, nullptr);
}
