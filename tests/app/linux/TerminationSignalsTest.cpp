#include "app/linux/TerminationSignals.h"
#include "core/MainThread.h"
#include "support/TestSupport.h"

#include <csignal>
#include <stdexcept>

#include <gtest/gtest.h>

// One watcher at a time; the handlers it found are put back when it goes.
TEST(TerminationSignals, SigtermAndSigintArriveOnTheMainThreadAsRequestsOfOneWatcherAtATime) {
    struct sigaction ignore {
    }, original{}, after{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &original);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
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
    sigaction(SIGHUP, &original, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}
