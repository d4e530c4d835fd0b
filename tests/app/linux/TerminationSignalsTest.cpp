#include "app/linux/TerminationSignals.h"
#include "core/MainThread.h"
#include "support/TestSupport.h"

#include <csignal>
#include <stdexcept>

#include <gtest/gtest.h>

TEST(TerminationSignals, SigtermAndSigintArriveOnTheMainThreadAsRequestsOfOneWatcherAtATime) {
    for (int signal : {SIGTERM, SIGINT}) {
        TerminationSignals watcher;
        EXPECT_THROW(TerminationSignals(), std::logic_error);
        QList<int> heard;
        QObject::connect(&watcher, &TerminationSignals::terminationRequested,
                         [&](int signal) { heard << (isMainThread() ? signal : -signal); });
        raise(signal);
        ASSERT_TRUE(waitUntil([&] { return !heard.isEmpty(); }));
        EXPECT_EQ(heard, QList<int>{signal});
        EXPECT_EQ(watcher.received(), 1);
    }
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

TEST(TerminationSignals, PutsBackTheHandlersItFound) {
    struct sigaction ignore {
    }, original{}, during{}, after{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTERM, &ignore, &original);
    {
        TerminationSignals watcher;
        sigaction(SIGTERM, nullptr, &during);
    }
    sigaction(SIGTERM, nullptr, &after);
    sigaction(SIGTERM, &original, nullptr);
    EXPECT_NE(during.sa_handler, SIG_IGN);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}
